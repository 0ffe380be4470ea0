#include "sending/Upload.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/Product.h"
#include "platform/Text.h"

namespace qv
{

namespace
{

constexpr std::string_view sCrLf = "\r\n";

std::string RemoveQuotes(std::string_view sText)
{
    std::string sClean;
    for (const char c : sText)
        if (c != '"')
            sClean += c;
    return sClean;
}

bool EndsWith(std::string_view sText, std::string_view sEnd)
{
    return sText.size() >= sEnd.size() && sText.substr(sText.size() - sEnd.size()) == sEnd;
}

UploadOutcome Failed(int32_t nNumber, std::string sDescription)
{
    UploadOutcome outcome;
    outcome.nKind = UploadOutcome::Kind::CodError;
    outcome.nNumber = nNumber;
    outcome.sText = std::move(sDescription);
    return outcome;
}

UploadOutcome Failed(const UploadFailure& failure)
{
    return Failed(failure.nNumber, failure.sDescription);
}

// Whether a file's bytes hold the text; the file read in blocks that overlap by the text's length.
std::optional<bool> FileHolds(IFiles& files, const std::string& sPath, std::string_view sText)
{
    const auto reader = files.OpenRead(sPath);
    if (!reader)
        return std::nullopt;
    std::string sWindow;
    std::string sBlock(64 * 1024, '\0');
    for (;;)
    {
        const long long nRead = reader->Read(sBlock.data(), sBlock.size());
        if (nRead < 0)
            return std::nullopt;
        if (nRead == 0)
            return false;
        sWindow.append(sBlock.data(), static_cast<size_t>(nRead));
        if (sWindow.find(sText) != std::string::npos)
            return true;
        if (sWindow.size() >= sText.size())
            sWindow.erase(0, sWindow.size() - (sText.size() - 1));
    }
}

// Deletes the temporary archive when the job ends, whichever way: the name was free when the job chose it.
class TemporaryArchive
{
public:
    explicit TemporaryArchive(IFiles& files) : Files(files) {}
    TemporaryArchive(const TemporaryArchive&) = delete;
    TemporaryArchive& operator=(const TemporaryArchive&) = delete;
    ~TemporaryArchive()
    {
        if (!sPath.empty() && (Files.Size(sPath) || Files.IsFolder(sPath)))
            (void)Files.Delete(sPath);
    }
    std::string sPath;

private:
    IFiles& Files;
};

} // namespace

FileList SplitFileList(std::string_view sFilePaths, std::string_view sFileNames)
{
    FileList list;
    const std::string sPaths = Trim(sFilePaths);
    if (!sPaths.empty() && sPaths.front() == '"')
    {
        if (sPaths.size() < 2 || sPaths.back() != '"')
            list.Failure = {54112, "Undetermined filenames separator." + std::string(sCrLf) + "Filename: " + sPaths};
        list.sSeparator = "\" \"";
    }
    else
    {
        if (sPaths.find('"') != std::string::npos)
            list.Failure = {54112, "Undetermined filenames separator." + std::string(sCrLf) + "Filename: " + sPaths};
        list.sSeparator = " ";
    }
    if (list.Failure)
        return list;
    const std::string sNames = Trim(sFileNames);
    list.bNamesGiven = !sNames.empty();
    const std::vector<std::string> paths = Split(sPaths, list.sSeparator);
    const std::vector<std::string> names = list.bNamesGiven ? Split(sNames, list.sSeparator) : paths;
    if (names.size() < paths.size())
    {
        list.Failure = {9, "Fewer names than files." + std::string(sCrLf) + "Filename: " + sPaths};
        return list;
    }
    for (size_t i = 0; i < paths.size(); ++i)
    {
        UploadItem item{RemoveQuotes(paths[i]), {}};
        if (item.sPath.empty())
            continue; // two blanks between unquoted paths
        if (list.bNamesGiven)
        {
            const std::string sName = RemoveQuotes(names[i]);
            item.sName = sName.substr(sName.rfind('\\') == std::string::npos ? 0 : sName.rfind('\\') + 1);
        }
        list.Items.push_back(std::move(item));
    }
    return list;
}

ZipPlan PlanZip(const std::vector<std::string>& paths, const std::string& sArchive)
{
    constexpr size_t nMaxParts = 256;
    struct Group
    {
        std::string sFolder;
        std::vector<std::string> Parts;
        bool bRecursive = false;
    };
    std::vector<Group> groups;
    ZipPlan plan;
    for (const std::string& sGiven : paths)
    {
        const std::string sPath = ReplaceAll(sGiven, "[", "?"); // the packer reads "[" as a pattern
        const bool bFolder = EndsWith(sPath, "\\*.*");
        const std::string_view sHead = std::string_view(sPath).substr(0, sPath.size() - (bFolder ? 4 : 0));
        const size_t nCut = sHead.rfind('\\');
        std::string sFolder(nCut == std::string_view::npos ? std::string_view() : sHead.substr(0, nCut));
        std::string sPart(nCut == std::string_view::npos ? sPath : sPath.substr(nCut + 1));
        if (bFolder && sHead.size() == 2 && sHead[1] == ':')
        {
            sFolder = sHead; // a whole drive: its contents, from its root
            sPart = "*.*";
        }
        if (sFolder.size() == 2 && sFolder[1] == ':')
            sFolder += '\\'; // a drive's root
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.sFolder == sFolder; });
        if (group == groups.end())
            group = groups.insert(groups.end(), Group{sFolder, {}, false});
        if (group->Parts.size() == nMaxParts)
        {
            plan.Failure = {9, "More than " + std::to_string(nMaxParts) + " files from one folder." +
                                   std::string(sCrLf) + "Folder: " + sFolder};
            return plan;
        }
        group->Parts.push_back("\"" + sPart + "\"");
        group->bRecursive = group->bRecursive || bFolder;
    }
    for (size_t g = 0; g < groups.size(); ++g)
    {
        std::string sParameters =
            std::string(groups[g].bRecursive ? "-SXr" : "-SXj") + (g > 0 ? "u" : "") + " \"" + sArchive + "\"";
        for (const std::string& sPart : groups[g].Parts)
            sParameters += " " + sPart;
        plan.Runs.push_back({groups[g].sFolder, std::move(sParameters)});
    }
    return plan;
}

std::string SizeText(uint64_t nTotal, const std::string& sDecimalSeparator)
{
    if (nTotal < 1024)
        return std::to_string(nTotal) + " B";
    const uint64_t nUnit = nTotal < 1048576 ? 1024 : 1048576;
    // Tenths, rounded half to even.
    uint64_t nTenths = nTotal * 10 / nUnit;
    const uint64_t nRest = nTotal * 10 % nUnit;
    if (nRest * 2 > nUnit || (nRest * 2 == nUnit && nTenths % 2 == 1))
        ++nTenths;
    std::string sText = std::to_string(nTenths / 10);
    if (nTenths % 10 != 0)
        sText += sDecimalSeparator + std::to_string(nTenths % 10);
    return sText + (nUnit == 1024 ? " KB" : " MB");
}

std::optional<std::string> ChooseBoundary(const std::vector<UploadPart>& parts, IFiles& files)
{
    std::string sBoundary(sUploadBoundary);
    for (int nTry = 1;; ++nTry)
    {
        const std::string sLine = "--" + sBoundary;
        bool bHeld = false;
        for (const UploadPart& part : parts)
        {
            const std::optional<bool> bInFile = FileHolds(files, part.sPath, sLine);
            if (!bInFile)
                return std::nullopt;
            bHeld = bHeld || *bInFile || part.sDisplayName.find(sLine) != std::string::npos;
        }
        if (!bHeld)
            return sBoundary;
        sBoundary = std::string(sUploadBoundary) + "_" + std::to_string(nTry);
    }
}

HttpRequest BuildUploadRequest(const std::vector<UploadPart>& parts, const std::string& sHost,
                               const std::string& sAuthToken, const std::string& sBoundary)
{
    const std::string sLine = "--" + sBoundary + "\r\n";
    HttpRequest request;
    request.AddBytes(sLine + "Content-Disposition: form-data; name=\"_charset_\"\r\n\r\n\r\n");
    for (size_t k = 1; k <= parts.size(); ++k)
    {
        const UploadPart& part = parts[k - 1];
        const std::string sName = CHTTP::EncodeHeaderWord(CHTTP::Ansi2Utf8(part.sDisplayName));
        request.AddBytes(sLine + "Content-Disposition: form-data; name=\"filename" + std::to_string(k) + "\"\r\n\r\n" +
                         sName + "\r\n");
        request.AddBytes(sLine + "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"" + sName +
                         "\"\r\n\r\n");
        request.AddFile(part.sPath, part.nSize);
        request.AddBytes("\r\n" + sLine + "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n" +
                         std::to_string(k) + "\r\n");
    }
    request.AddBytes("--" + sBoundary + "--\r\n");
    request.sHead = "POST /service/upload?fmt=raw HTTP/1.1\r\n"
                    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                    "Accept-Language: en-us\r\n"
                    "Content-Type: multipart/form-data; boundary=" +
                    sBoundary + "\r\nAccept-Encoding: \r\nUser-Agent: " + ProductToken() + "/" + VersionText() +
                    " (Windows)\r\nHost: " + sHost + "\r\nContent-Length: {mkquorvel-content-length}\r\n" +
                    "Connection: Close\r\nCookie: ZM_TEST=true; ZM_AUTH_TOKEN=" + sAuthToken + "\r\n\r\n";
    request.sHead = ReplaceAll(request.sHead, "{mkquorvel-content-length}", std::to_string(request.BodyLength()));
    return request;
}

UploadAnswer ReadUploadAnswer(std::string_view sResponse)
{
    UploadAnswer answer;
    const std::optional<HttpAnswer> http = ParseAnswer(sResponse);
    if (!http)
        return answer;
    answer.sLocation = GetHeaderValue(http->sHeaderBlock, "Location");
    if (!answer.sLocation.empty())
    {
        answer.nKind = UploadAnswer::Kind::Redirect;
        return answer;
    }
    // One line: the status number, then fields in single quotes after commas; an id never holds a quote.
    std::string_view sLine = std::string_view(http->sBody).substr(0, http->sBody.find('\n'));
    const std::string sTrimmed = Trim(sLine);
    sLine = sTrimmed;
    const size_t nDigits = std::min(sLine.find_first_not_of("0123456789"), sLine.size());
    const std::string_view sCode = sLine.substr(0, nDigits);
    std::vector<std::string_view> fields;
    size_t nAt = nDigits;
    bool bWellFormed = true;
    while (nAt < sLine.size())
    {
        const size_t nClose = sLine.find('\'', nAt + 2);
        if (sLine.substr(nAt, 2) != ",'" || nClose == std::string_view::npos)
        {
            bWellFormed = false;
            break;
        }
        fields.push_back(sLine.substr(nAt + 2, nClose - nAt - 2));
        nAt = nClose + 1;
    }
    if (http->nStatus == 200 && bWellFormed && sCode == "200" && fields.size() >= 2 && !Trim(fields.back()).empty() &&
        fields.back() != "null")
    {
        answer.nKind = UploadAnswer::Kind::Accepted;
        answer.sAttachId = Trim(fields.back());
        return answer;
    }
    answer.nKind = UploadAnswer::Kind::Refused;
    answer.sBody = http->sBody;
    if (Trim(answer.sBody).empty())
    {
        const std::string sFault = GetHeaderValue(http->sHeaderBlock, "X-Zimbra-Fault-Message");
        answer.sBody = std::to_string(http->nStatus) + " " + http->sReason + (sFault.empty() ? "" : ": " + sFault);
    }
    return answer;
}

Uploader::Uploader(CHTTP& http, IFiles& files, IProcesses& processes, IKeyboard& keyboard, IShellLinks& links,
                   IClock& clock, ILocale& locale)
    : HTTP(http)
    , Files(files)
    , Processes(processes)
    , Keyboard(keyboard)
    , Links(links)
    , Clock(clock)
    , Locale(locale)
{
}

std::string Uploader::Timestamp()
{
    using namespace std::chrono;
    const int64_t nUtcMs = Clock.NowUtcMs();
    const sys_time<milliseconds> local{milliseconds(nUtcMs + int64_t{Clock.LocalOffsetMinutesAt(nUtcMs)} * 60000)};
    const auto day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(local - day)};
    char sText[32];
    std::snprintf(sText, sizeof sText, "%04d%02u%02u%02d%02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return sText;
}

UploadOutcome Uploader::Upload(const UploadJob& job, const std::string& sUrl, const std::string& sHost,
                               const std::string& sAuthToken)
{
    if (Trim(job.sFilePaths).empty())
    {
        UploadOutcome outcome; // a message without attachments
        outcome.sSubject = job.sSubject;
        return outcome;
    }
    std::vector<UploadPart> parts;
    TemporaryArchive archive(Files);
    if (std::optional<UploadOutcome> failure = Prepare(job, parts, archive.sPath))
        return std::move(*failure);

    std::string sSubject = job.sSubject;
    if (Trim(sSubject).empty())
    {
        uint64_t nTotal = 0;
        for (const UploadPart& part : parts)
            nTotal += part.nSize;
        sSubject = (parts.size() == 1 ? parts[0].sDisplayName : std::to_string(parts.size()) + " objects") + " (" +
                   SizeText(nTotal, Locale.DecimalSeparator()) + ")";
    }
    const std::optional<std::string> sBoundary = ChooseBoundary(parts, Files);
    if (!sBoundary)
        return Failed(75, "DbgTrack: 142616" + std::string(sCrLf) + "A file cannot be read." + std::string(sCrLf) +
                              "dbg: 3");

    std::string sAddress = sUrl;
    for (int nRedirects = 0;; ++nRedirects)
    {
        std::string sLocation;
        UploadOutcome outcome = Post(parts, *sBoundary, sAddress, sHost, sAuthToken, sLocation);
        if (sLocation.empty())
        {
            outcome.sSubject = sSubject;
            return outcome;
        }
        if (nRedirects == nMaxRedirects)
            return Failed(54114,
                          "The server sent the upload elsewhere too many times." + std::string(sCrLf) + sLocation);
        // The same parts again, to the new address; the client keeps the cookie from any other host.
        if (StartsWithNoCase(sLocation, "http://") || StartsWithNoCase(sLocation, "https://"))
            sAddress = sLocation;
        else if (sLocation.front() == '/')
        {
            const HttpTarget target = SplitUrl(sAddress);
            sAddress = (target.bSecure ? "https://" : "http://") + target.sAuthority + sLocation;
        }
    }
}

std::optional<UploadOutcome> Uploader::Prepare(const UploadJob& job, std::vector<UploadPart>& parts,
                                               std::string& sArchiveMade)
{
    FileList list = SplitFileList(job.sFilePaths, job.sFileNames);
    if (list.Failure)
        return Failed(*list.Failure);
    bool bPack = Keyboard.IsShiftDown();
    std::vector<uint64_t> sizes;
    for (UploadItem& item : list.Items)
    {
        if (EndsWith(item.sPath, ".lnk"))
        {
            if (const std::optional<std::string> sTarget = Links.LinkTarget(item.sPath); sTarget && !sTarget->empty())
            {
                item.sPath = *sTarget;
                if (list.bNamesGiven)
                    item.sName = CHTTP::FileNameFromPath(*sTarget);
            }
        }
        if (Files.IsFolder(item.sPath))
        {
            if (!EndsWith(item.sPath, "\\"))
                item.sPath += '\\';
            item.sPath += "*.*";
            bPack = true;
            sizes.push_back(0);
            continue;
        }
        const std::optional<uint64_t> nSize = Files.Size(item.sPath);
        if (!nSize)
            return Failed(53, "File not found" + std::string(sCrLf) + "dbg: 0.10" + std::string(sCrLf) +
                                  "Largo sep=" + std::to_string(list.sSeparator.size()) + std::string(sCrLf) +
                                  "Filename: " + item.sPath);
        if (*nSize > nMaxFileBytes)
            return Failed(54113, "The file is too large to send: files of 4 GB and more are not sent." +
                                     std::string(sCrLf) + "Filename: " + item.sPath);
        if (!Files.OpenRead(item.sPath))
            return Failed(75, "DbgTrack: 142616" + std::string(sCrLf) + "The file cannot be read." +
                                  std::string(sCrLf) + item.sPath + std::string(sCrLf) + "dbg: 2");
        sizes.push_back(*nSize);
    }

    if (bPack)
    {
        const std::string sStem = Files.TempFolder() + "\\" +
                                  (list.Items.size() > 1 ? std::to_string(list.Items.size()) + "_objects" : ProductToken()) +
                                  "_tmp_" + Timestamp();
        std::string sBase;
        if (list.Items.size() > 1)
            sBase = Files.TempFolder() + "\\" + std::to_string(list.Items.size()) + "_objects";
        else
        {
            const UploadItem& item = list.Items[0];
            const size_t nName = item.sPath.rfind('\\') == std::string::npos ? 0 : item.sPath.rfind('\\') + 1;
            const size_t nDot = item.sPath.rfind('.');
            const std::string sExtension = nDot == std::string::npos || nDot < nName
                                               ? std::string()
                                               : AsciiLower(std::string_view(item.sPath).substr(nDot + 1));
            if (EndsWith(item.sPath, "\\*.*"))
                sBase = item.sPath.substr(0, item.sPath.size() - 4);
            else
                sBase = nDot == std::string::npos || nDot < nName ? item.sPath : item.sPath.substr(0, nDot);
            if (list.bNamesGiven && !Trim(item.sName).empty() && sExtension == "tmp")
                sBase = item.sName;
        }
        sBase += ".zip";
        // Never a file the program did not make: a name already taken gets a number.
        std::string sArchive = sStem + ".zip";
        for (int n = 1; Files.Size(sArchive) || Files.IsFolder(sArchive); ++n)
            sArchive = sStem + "_" + std::to_string(n) + ".zip";

        std::vector<std::string> paths;
        for (const UploadItem& item : list.Items)
            paths.push_back(item.sPath);
        const ZipPlan plan = PlanZip(paths, sArchive);
        if (plan.Failure)
            return Failed(*plan.Failure);
        sArchiveMade = sArchive;
        const std::string sProgram = Processes.ProgramFolder() + "zip.exe";
        for (const ZipRun& run : plan.Runs)
        {
            const ProcessRun ran = Processes.RunAndWait(sProgram, run.sParameters, run.sFolder);
            if (!ran.bStarted)
                return Failed(static_cast<int32_t>(ran.nSystemCode ? ran.nSystemCode : 2),
                              "The packer could not be started." + std::string(sCrLf) + sProgram);
            if (ran.nExitCode != 0)
                return Failed(static_cast<int32_t>(ran.nExitCode), "Zip return code error." + std::string(sCrLf) +
                                                                       sBase + ", " + sArchive + std::string(sCrLf) +
                                                                       "dbg: 3.1");
        }
        const std::optional<uint64_t> nSize = Files.Size(sArchive);
        if (!nSize)
            return Failed(53, "The packer made no archive." + std::string(sCrLf) + sArchive);
        if (*nSize > nMaxFileBytes)
            return Failed(54113, "The archive is too large to send: files of 4 GB and more are not sent." +
                                     std::string(sCrLf) + "Filename: " + sBase);
        parts.push_back({CHTTP::FileNameFromPath(sBase), sArchive, *nSize});
    }
    else
    {
        for (size_t i = 0; i < list.Items.size(); ++i)
        {
            const UploadItem& item = list.Items[i];
            const bool bOwnName = list.bNamesGiven && !Trim(item.sName).empty();
            parts.push_back({bOwnName ? item.sName : CHTTP::FileNameFromPath(item.sPath), item.sPath, sizes[i]});
        }
    }

    return std::nullopt;
}

UploadOutcome Uploader::Post(const std::vector<UploadPart>& parts, const std::string& sBoundary,
                             const std::string& sUrl, const std::string& sHost, const std::string& sAuthToken,
                             std::string& sLocation)
{
    UploadOutcome outcome;
    const HttpResult result = HTTP.POSTWrapper(sUrl, BuildUploadRequest(parts, sHost, sAuthToken, sBoundary));
    if (!result.Ok())
    {
        if (result.bShown)
        {
            outcome.nKind = UploadOutcome::Kind::Silent;
            return outcome;
        }
        const HttpTarget target = SplitUrl(sUrl);
        return Failed(result.nSystemCode ? static_cast<int32_t>(result.nSystemCode) : 54115,
                      result.sDescription + std::string(sCrLf) + target.sHost + ":" + target.sPortText);
    }
    const UploadAnswer answer = ReadUploadAnswer(result.sResponse);
    switch (answer.nKind)
    {
    case UploadAnswer::Kind::Redirect:
        sLocation = answer.sLocation;
        outcome.nKind = UploadOutcome::Kind::Silent;
        return outcome;
    case UploadAnswer::Kind::Accepted: outcome.sAttachId = answer.sAttachId; return outcome;
    case UploadAnswer::Kind::Refused:
        outcome.nKind = UploadOutcome::Kind::ErrorChunk;
        outcome.sText = answer.sBody;
        return outcome;
    default: return Failed(54115, "The server's answer ended before its headers.");
    }
}

} // namespace qv
