#include "Packer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

namespace qv::zip
{

namespace
{

constexpr uint32_t nLocalSignature = 0x04034b50;
constexpr uint32_t nCentralSignature = 0x02014b50;
constexpr uint32_t nEndSignature = 0x06054b50;
constexpr uint32_t nDescriptorSignature = 0x08074b50;
constexpr uint64_t nSizeLimit = 0xFFFFFFFFu; // at and beyond it an archive needs ZIP64, which we do not write
constexpr size_t nMaxEntries = 0xFFFF;
constexpr size_t nLocalFixed = 30, nCentralFixed = 46, nEndFixed = 22;
constexpr size_t nChunk = 64 * 1024;
constexpr size_t nPackedChunk = 16 * 1024;    // below a read's size, so that draining deflate's output is no rare path
constexpr int nMaxDepth = 64;                 // a junction or a linked folder that points up would never end
constexpr uint32_t nEarliestDos = 0x00210000; // 1 January 1980, the first day the format can tell
constexpr uint16_t nFlagUtf8 = 0x0800, nFlagDescriptor = 0x0008;
constexpr uint16_t nMethodStored = 0, nMethodDeflated = 8;
constexpr uint16_t nExtendedTimestamp = 0x5455;

void Put16(std::string& s, uint32_t n)
{
    s += static_cast<char>(n & 0xFF);
    s += static_cast<char>((n >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t n)
{
    Put16(s, n & 0xFFFF);
    Put16(s, n >> 16);
}

void Set32(std::string& s, size_t nAt, uint32_t n)
{
    std::string sBytes;
    Put32(sBytes, n);
    s.replace(nAt, 4, sBytes);
}

uint32_t Get16(const std::string& s, size_t nAt)
{
    return static_cast<uint8_t>(s[nAt]) | static_cast<uint32_t>(static_cast<uint8_t>(s[nAt + 1])) << 8;
}

uint32_t Get32(const std::string& s, size_t nAt)
{
    return Get16(s, nAt) | Get16(s, nAt + 2) << 16;
}

size_t CharLength(std::string_view s, size_t i)
{
    size_t n = 1;
    while (i + n < s.size() && (static_cast<uint8_t>(s[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

char Fold(char ch, bool bCaseBlind)
{
    return bCaseBlind && ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

std::string Folded(std::string s, bool bCaseBlind)
{
    for (char& ch : s)
        ch = Fold(ch, bCaseBlind);
    return s;
}

bool MatchFrom(std::string_view sPattern, std::string_view sName, bool bCaseBlind)
{
    // Backtracking to the last star only is enough: a later star can take whatever an earlier one would have.
    size_t i = 0, j = 0, iStar = std::string_view::npos, jStar = 0;
    while (j < sName.size())
    {
        if (i < sPattern.size() && sPattern[i] == '*')
        {
            iStar = ++i;
            jStar = j;
        }
        else if (i < sPattern.size() && sPattern[i] == '?')
        {
            ++i;
            j += CharLength(sName, j);
        }
        else if (i < sPattern.size() && Fold(sPattern[i], bCaseBlind) == Fold(sName[j], bCaseBlind))
        {
            ++i;
            ++j;
        }
        else if (iStar == std::string_view::npos)
            return false;
        else
        {
            i = iStar;
            jStar += CharLength(sName, jStar);
            j = jStar;
        }
    }
    while (i < sPattern.size() && sPattern[i] == '*')
        ++i;
    return i == sPattern.size();
}

bool HasWildcard(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

std::string Join(const std::string& sBase, const std::string& sName)
{
    if (sBase.empty())
        return sName;
    return sBase.back() == '/' ? sBase + sName : sBase + '/' + sName;
}

bool IsAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char ch) { return static_cast<uint8_t>(ch) < 0x80; });
}

struct Options
{
    bool bRecurse = false, bJunk = false, bUpdate = false, bSystem = false, bNoExtra = false;
};

struct Item
{
    std::string sPath, sStored;
    FileFacts Facts;
};

// An entry of the archive being updated, kept as the bytes it had.
struct OldEntry
{
    std::string sName, sCentral;
    uint64_t nLocalOffset = 0, nPacked = 0;
    uint16_t nFlags = 0;
};

struct Deflater
{
    z_stream Stream{};
    bool bReady = false;
    ~Deflater()
    {
        if (bReady)
            deflateEnd(&Stream);
    }
};

class Packer
{
public:
    Packer(IFileSystem& Fs, std::string& sErrors) : Fs(Fs), sErrors(sErrors) {}

    int Run(const std::vector<std::string>& Args)
    {
        size_t i = 0;
        for (; i < Args.size() && Args[i].size() > 1 && Args[i][0] == '-'; ++i)
            for (const char ch : Args[i].substr(1))
                switch (ch)
                {
                case 'S': Opts.bSystem = true; break;
                case 'X': Opts.bNoExtra = true; break;
                case 'r': Opts.bRecurse = true; break;
                case 'j': Opts.bJunk = true; break;
                case 'u': Opts.bUpdate = true; break;
                default: return Fail(nExitBadUsage, std::string("unknown option -") + ch);
                }
        if (i == Args.size())
            return Fail(nExitBadUsage, "no archive named; usage: zip [-SXrju] archive.zip file...");
        sArchive = Args[i++];
        if (i == Args.size())
            return Fail(nExitNothingToDo, "nothing to do: no files named");
        sArchiveFull = Fs.FullPath(sArchive);
        for (; i < Args.size(); ++i)
            if (!AddPattern(Args[i]))
                return nExitCode;
        if (Items.empty())
            return Fail(nExitNothingToDo, "nothing to do");
        return Write() ? nExitOk : nExitCode;
    }

private:
    IFileSystem& Fs;
    std::string& sErrors;
    Options Opts;
    std::string sArchive, sArchiveFull;
    std::vector<Item> Items;
    std::map<std::string, size_t> ItemByName; // a name given twice is packed once, from its last source
    int nExitCode = nExitOk;
    std::unique_ptr<IWriter> Out;
    uint64_t nPosition = 0;
    std::string sCentral;
    size_t nEntries = 0;

    int Fail(int nCode, const std::string& sText)
    {
        sErrors += "zip error: " + sText + "\n";
        nExitCode = nCode;
        return nCode;
    }

    bool Failed(int nCode, const std::string& sText)
    {
        Fail(nCode, sText);
        return false;
    }

    // Every existing path the pattern names; wildcards may stand in any part of it.
    std::vector<std::string> Expand(const std::string& sPattern)
    {
        std::vector<std::string> Parts(1);
        for (const char ch : sPattern)
            if (Fs.IsSeparator(ch))
                Parts.emplace_back();
            else
                Parts.back() += ch;
        std::string sStart;
        if (Parts.size() > 1 && Parts[0].empty())
            sStart = Parts.size() > 2 && Parts[1].empty() ? "//" : "/"; // a network share, or the root
        std::vector<std::string> Bases{sStart};
        for (size_t k = 0; k < Parts.size(); ++k)
        {
            const std::string& sPart = Parts[k];
            if (sPart.empty())
                continue;
            const bool bLast = k + 1 == Parts.size();
            std::vector<std::string> Next;
            for (const std::string& sBase : Bases)
            {
                if (!HasWildcard(sPart))
                {
                    Next.push_back(Join(sBase, sPart));
                    continue;
                }
                std::vector<FolderEntry> Entries;
                if (!Fs.ListFolder(sBase.empty() ? "." : sBase, Entries))
                    continue; // a folder that is not there matches nothing
                std::sort(Entries.begin(), Entries.end(),
                          [](const FolderEntry& a, const FolderEntry& b) { return a.sName < b.sName; });
                for (const FolderEntry& Entry : Entries)
                    if ((Opts.bSystem || !Entry.bHidden) && (bLast || Entry.bDirectory) &&
                        MatchName(sPart, Entry.sName, Fs.CaseBlind()))
                        Next.push_back(Join(sBase, Entry.sName));
            }
            Bases = std::move(Next);
        }
        return Bases;
    }

    bool AddPattern(const std::string& sPattern)
    {
        bool bMatched = false;
        for (const std::string& sPath : Expand(sPattern))
        {
            const std::optional<FileFacts> Facts = Fs.Facts(sPath);
            if (!Facts)
                continue;
            bMatched = true;
            if (!AddPath(sPath, *Facts, 0))
                return false;
        }
        return bMatched || Failed(nExitNothingToDo, "name not matched: \"" + sPattern + "\"");
    }

    bool AddPath(const std::string& sPath, const FileFacts& Facts, int nDepth)
    {
        if (!Facts.bDirectory)
            return AddItem(sPath, Facts), true;
        if (!Opts.bJunk)
            AddItem(sPath, Facts);
        if (!Opts.bRecurse)
            return true;
        if (nDepth >= nMaxDepth)
            return Failed(nExitCannotRead, "folders nested too deep (a link that points up?): \"" + sPath + "\"");
        std::vector<FolderEntry> Entries;
        if (!Fs.ListFolder(sPath, Entries))
            return Failed(nExitCannotRead, "cannot read the folder \"" + sPath + "\": " + Fs.LastError());
        std::sort(Entries.begin(), Entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.sName < b.sName; });
        for (const FolderEntry& Entry : Entries)
        {
            if (Entry.bHidden && !Opts.bSystem)
                continue;
            const std::string sChild = Join(sPath, Entry.sName);
            const std::optional<FileFacts> ChildFacts = Fs.Facts(sChild);
            if (!ChildFacts)
                return Failed(nExitCannotRead, "cannot read \"" + sChild + "\": " + Fs.LastError());
            if (!AddPath(sChild, *ChildFacts, nDepth + 1))
                return false;
        }
        return true;
    }

    // The name inside the archive: the path as given, without a drive, a root or steps up, or with -j the bare name.
    std::string StoredName(const std::string& sPath, bool bDirectory) const
    {
        std::vector<std::string> Parts(1);
        for (const char ch : sPath)
            if (ch == '/')
                Parts.emplace_back();
            else
                Parts.back() += ch;
        if (Parts.size() > 1 && Parts[0].size() == 2 && Parts[0][1] == ':')
            Parts.erase(Parts.begin());
        std::string sName;
        for (const std::string& sPart : Parts)
            if (!sPart.empty() && sPart != "." && sPart != "..")
                sName = Opts.bJunk || sName.empty() ? sPart : sName + '/' + sPart;
        return sName.empty() || !bDirectory ? sName : sName + '/';
    }

    void AddItem(const std::string& sPath, const FileFacts& Facts)
    {
        const std::string sStored = StoredName(sPath, Facts.bDirectory);
        if (sStored.empty())
            return;
        if (!Facts.bDirectory && !sArchiveFull.empty() &&
            Folded(Fs.FullPath(sPath), Fs.CaseBlind()) == Folded(sArchiveFull, Fs.CaseBlind()))
            return; // the archive does not pack itself
        const auto [it, bNew] = ItemByName.emplace(Folded(sStored, Fs.CaseBlind()), Items.size());
        if (bNew)
            Items.push_back({sPath, sStored, Facts});
        else
            Items[it->second] = {sPath, sStored, Facts};
    }

    bool ReadExact(IReader& In, std::string& sBytes, size_t nBytes)
    {
        sBytes.resize(nBytes);
        size_t nDone = 0;
        while (nDone < nBytes)
        {
            const long long nRead = In.Read(sBytes.data() + nDone, nBytes - nDone);
            if (nRead <= 0)
                return false;
            nDone += static_cast<size_t>(nRead);
        }
        return true;
    }

    bool ReadArchive(IReader& In, uint64_t nSize, std::vector<OldEntry>& Entries, std::string& sComment)
    {
        const std::string sDamaged = "\"" + sArchive + "\" is not a zip archive or is damaged";
        const size_t nTail = static_cast<size_t>(std::min<uint64_t>(nSize, nEndFixed + 0xFFFF));
        std::string sTail;
        if (nTail < nEndFixed || !In.Seek(nSize - nTail) || !ReadExact(In, sTail, nTail))
            return Failed(nExitDamagedArchive, sDamaged);
        size_t nEnd = nTail - nEndFixed; // the end record is the last one whose comment fits in the file
        while (!(Get32(sTail, nEnd) == nEndSignature && nEnd + nEndFixed + Get16(sTail, nEnd + 20) <= nTail))
            if (nEnd-- == 0)
                return Failed(nExitDamagedArchive, sDamaged);
        const uint32_t nCount = Get16(sTail, nEnd + 10), nCentralSize = Get32(sTail, nEnd + 12),
                       nCentralOffset = Get32(sTail, nEnd + 16);
        if (nCount == 0xFFFF || nCentralSize == nSizeLimit || nCentralOffset == nSizeLimit)
            return Failed(nExitDamagedArchive,
                          "\"" + sArchive + "\" is a ZIP64 archive, which this packer cannot update");
        if (Get16(sTail, nEnd + 4) != 0 || Get16(sTail, nEnd + 6) != 0)
            return Failed(nExitDamagedArchive,
                          "\"" + sArchive + "\" spans several disks, which this packer cannot update");
        sComment = sTail.substr(nEnd + nEndFixed, Get16(sTail, nEnd + 20));
        std::string sDirectory;
        if (uint64_t{nCentralOffset} + nCentralSize > nSize - nTail + nEnd || !In.Seek(nCentralOffset) ||
            !ReadExact(In, sDirectory, nCentralSize))
            return Failed(nExitDamagedArchive, sDamaged);
        size_t nAt = 0;
        for (uint32_t k = 0; k < nCount; ++k)
        {
            if (nAt + nCentralFixed > sDirectory.size() || Get32(sDirectory, nAt) != nCentralSignature)
                return Failed(nExitDamagedArchive, sDamaged);
            const size_t nName = Get16(sDirectory, nAt + 28);
            const size_t nLength = nCentralFixed + nName + Get16(sDirectory, nAt + 30) + Get16(sDirectory, nAt + 32);
            if (nAt + nLength > sDirectory.size())
                return Failed(nExitDamagedArchive, sDamaged);
            OldEntry Entry;
            Entry.sCentral = sDirectory.substr(nAt, nLength);
            Entry.sName = Entry.sCentral.substr(nCentralFixed, nName);
            Entry.nFlags = static_cast<uint16_t>(Get16(Entry.sCentral, 8));
            Entry.nPacked = Get32(Entry.sCentral, 20);
            Entry.nLocalOffset = Get32(Entry.sCentral, 42);
            Entries.push_back(std::move(Entry));
            nAt += nLength;
        }
        return true;
    }

    bool Emit(const void* pData, size_t nBytes)
    {
        if (!Out->Write(pData, nBytes))
            return Failed(nExitWriteFailed, "cannot write beside \"" + sArchive + "\": " + Fs.LastError());
        nPosition += nBytes;
        return true;
    }

    bool Emit(const std::string& s) { return Emit(s.data(), s.size()); }

    bool CopyOld(IReader& In, const OldEntry& Entry)
    {
        const std::string sDamaged = "\"" + sArchive + "\" is damaged at \"" + Entry.sName + "\"";
        std::string sHeader;
        if (!In.Seek(Entry.nLocalOffset) || !ReadExact(In, sHeader, nLocalFixed) ||
            Get32(sHeader, 0) != nLocalSignature)
            return Failed(nExitDamagedArchive, sDamaged);
        uint64_t nLength = nLocalFixed + Get16(sHeader, 26) + Get16(sHeader, 28) + Entry.nPacked;
        if (Entry.nFlags & nFlagDescriptor)
        {
            std::string sSignature;
            if (!In.Seek(Entry.nLocalOffset + nLength) || !ReadExact(In, sSignature, 4))
                return Failed(nExitDamagedArchive, sDamaged);
            nLength += Get32(sSignature, 0) == nDescriptorSignature ? 16 : 12;
        }
        if (nPosition + nLength >= nSizeLimit)
            return Failed(nExitTooLarge, "the archive would reach 4 GB, beyond what this packer writes");
        std::string sCentralEntry = Entry.sCentral;
        Set32(sCentralEntry, 42, static_cast<uint32_t>(nPosition));
        if (!In.Seek(Entry.nLocalOffset))
            return Failed(nExitDamagedArchive, sDamaged);
        std::string sPiece;
        for (uint64_t nLeft = nLength; nLeft > 0;)
        {
            const size_t nPiece = static_cast<size_t>(std::min<uint64_t>(nLeft, nChunk));
            if (!ReadExact(In, sPiece, nPiece))
                return Failed(nExitDamagedArchive, sDamaged);
            if (!Emit(sPiece))
                return false;
            nLeft -= nPiece;
        }
        sCentral += sCentralEntry;
        ++nEntries;
        return true;
    }

    bool Deflate(IReader& In, const std::string& sPath, uint32_t& nCrc, uint64_t& nRead, uint64_t& nPacked)
    {
        Deflater Z;
        if (deflateInit2(&Z.Stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return Failed(nExitWriteFailed, "zlib could not start");
        Z.bReady = true;
        std::vector<unsigned char> Plain(nChunk), Packed(nPackedChunk);
        int nFlush = Z_NO_FLUSH;
        nCrc = crc32(0, nullptr, 0);
        while (nFlush != Z_FINISH)
        {
            const long long nGot = In.Read(Plain.data(), nChunk);
            if (nGot < 0)
                return Failed(nExitCannotRead, "cannot read \"" + sPath + "\": " + Fs.LastError());
            nFlush = nGot == 0 ? Z_FINISH : Z_NO_FLUSH;
            nRead += static_cast<uint64_t>(nGot);
            if (nRead >= nSizeLimit)
                return Failed(nExitTooLarge, "\"" + sPath + "\" is 4 GB or more, beyond what this packer writes");
            nCrc = crc32(nCrc, Plain.data(), static_cast<uInt>(nGot));
            Z.Stream.next_in = Plain.data();
            Z.Stream.avail_in = static_cast<uInt>(nGot);
            do
            {
                Z.Stream.next_out = Packed.data();
                Z.Stream.avail_out = static_cast<uInt>(nPackedChunk);
                (void)deflate(&Z.Stream, nFlush); // cannot fail with a valid stream and room for output
                const size_t nHave = nPackedChunk - Z.Stream.avail_out;
                if (!Emit(Packed.data(), nHave))
                    return false;
                nPacked += nHave;
            } while (Z.Stream.avail_out == 0);
        }
        if (nPacked >= nSizeLimit)
            return Failed(nExitTooLarge, "\"" + sPath + "\" packs to 4 GB or more, beyond what this packer writes");
        return true;
    }

    bool WriteItem(const Item& Entry)
    {
        const uint64_t nOffset = nPosition;
        if (nOffset >= nSizeLimit)
            return Failed(nExitTooLarge, "the archive would reach 4 GB, beyond what this packer writes");
        if (!Entry.Facts.bDirectory && Entry.Facts.nSize >= nSizeLimit)
            return Failed(nExitTooLarge, "\"" + Entry.sPath + "\" is 4 GB or more, beyond what this packer writes");
        std::unique_ptr<IReader> In;
        if (!Entry.Facts.bDirectory && !(In = Fs.OpenRead(Entry.sPath)))
            return Failed(nExitCannotRead, "cannot open \"" + Entry.sPath + "\": " + Fs.LastError());

        const uint16_t nMethod = Entry.Facts.bDirectory ? nMethodStored : nMethodDeflated;
        const uint16_t nNeeded = Entry.Facts.bDirectory ? 10 : 20;
        const uint16_t nFlags = IsAscii(Entry.sStored) ? 0 : nFlagUtf8;
        const uint32_t nDosTime = std::max(Entry.Facts.nDosTime, nEarliestDos);
        std::string sExtra;
        if (!Opts.bNoExtra)
        {
            Put16(sExtra, nExtendedTimestamp);
            Put16(sExtra, 5);
            sExtra += '\x01'; // the modification time only
            Put32(sExtra, Entry.Facts.nUnixTime);
        }
        std::string sLocal;
        Put32(sLocal, nLocalSignature);
        for (const uint32_t n :
             {uint32_t{nNeeded}, uint32_t{nFlags}, uint32_t{nMethod}, nDosTime & 0xFFFF, nDosTime >> 16})
            Put16(sLocal, n);
        Put32(sLocal, 0); // CRC-32, packed and full size: filled in once the data is written
        Put32(sLocal, 0);
        Put32(sLocal, 0);
        Put16(sLocal, static_cast<uint32_t>(Entry.sStored.size()));
        Put16(sLocal, static_cast<uint32_t>(sExtra.size()));
        if (!Emit(sLocal + Entry.sStored + sExtra))
            return false;

        uint32_t nCrc = 0;
        uint64_t nRead = 0, nPacked = 0;
        if (In)
        {
            if (!Deflate(*In, Entry.sPath, nCrc, nRead, nPacked))
                return false;
            std::string sSizes;
            Put32(sSizes, nCrc);
            Put32(sSizes, static_cast<uint32_t>(nPacked));
            Put32(sSizes, static_cast<uint32_t>(nRead));
            if (!Out->Seek(nOffset + 14) || !Out->Write(sSizes.data(), sSizes.size()) || !Out->Seek(nPosition))
                return Failed(nExitWriteFailed, "cannot write beside \"" + sArchive + "\": " + Fs.LastError());
        }

        std::string sEntry;
        Put32(sEntry, nCentralSignature);
        Put16(sEntry, uint32_t{Fs.HostSystem()} << 8 | 30);
        for (const uint32_t n :
             {uint32_t{nNeeded}, uint32_t{nFlags}, uint32_t{nMethod}, nDosTime & 0xFFFF, nDosTime >> 16})
            Put16(sEntry, n);
        Put32(sEntry, nCrc);
        Put32(sEntry, static_cast<uint32_t>(nPacked));
        Put32(sEntry, static_cast<uint32_t>(nRead));
        Put16(sEntry, static_cast<uint32_t>(Entry.sStored.size()));
        Put16(sEntry, static_cast<uint32_t>(sExtra.size()));
        Put16(sEntry, 0); // comment
        Put16(sEntry, 0); // disk
        Put16(sEntry, 0); // internal attributes
        Put32(sEntry, Entry.Facts.nAttributes);
        Put32(sEntry, static_cast<uint32_t>(nOffset));
        sCentral += sEntry + Entry.sStored + sExtra;
        ++nEntries;
        return true;
    }

    bool Write()
    {
        std::vector<OldEntry> OldEntries;
        std::string sComment;
        std::unique_ptr<IReader> Old;
        if (const std::optional<FileFacts> Facts = Opts.bUpdate ? Fs.Facts(sArchive) : std::nullopt)
        {
            if (!(Old = Fs.OpenRead(sArchive)))
                return Failed(nExitCannotRead, "cannot open \"" + sArchive + "\": " + Fs.LastError());
            if (!ReadArchive(*Old, Facts->nSize, OldEntries, sComment))
                return false;
        }
        if (!(Out = Fs.CreateBeside(sArchive)))
            return Failed(nExitCannotCreate, "cannot create a file beside \"" + sArchive + "\": " + Fs.LastError());
        for (const OldEntry& Entry : OldEntries)
            if (!ItemByName.contains(Folded(Entry.sName, Fs.CaseBlind())) && !CopyOld(*Old, Entry))
                return false;
        for (const Item& Entry : Items)
            if (!WriteItem(Entry))
                return false;
        if (nEntries > nMaxEntries)
            return Failed(nExitTooLarge, "more than 65535 entries, beyond what this packer writes");
        if (nPosition + sCentral.size() >= nSizeLimit)
            return Failed(nExitTooLarge, "the archive would reach 4 GB, beyond what this packer writes");
        std::string sEnd;
        Put32(sEnd, nEndSignature);
        Put16(sEnd, 0); // this disk and the directory's
        Put16(sEnd, 0);
        Put16(sEnd, static_cast<uint32_t>(nEntries));
        Put16(sEnd, static_cast<uint32_t>(nEntries));
        Put32(sEnd, static_cast<uint32_t>(sCentral.size()));
        Put32(sEnd, static_cast<uint32_t>(nPosition));
        Put16(sEnd, static_cast<uint32_t>(sComment.size()));
        if (!Emit(sCentral + sEnd + sComment))
            return false;
        Old.reset(); // Windows replaces no file that is still open
        if (!Out->Commit())
            return Failed(nExitWriteFailed, "cannot replace \"" + sArchive + "\": " + Fs.LastError());
        return true;
    }
};

} // namespace

bool MatchName(std::string_view sPattern, std::string_view sName, bool bCaseBlind)
{
    return MatchFrom(sPattern, sName, bCaseBlind) ||
           (sPattern.ends_with(".*") && MatchFrom(sPattern.substr(0, sPattern.size() - 2), sName, bCaseBlind));
}

int RunPacker(const std::vector<std::string>& Args, IFileSystem& Fs, std::string& sErrors)
{
    return Packer(Fs, sErrors).Run(Args);
}

} // namespace qv::zip
