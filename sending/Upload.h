// Files and folders turned into one attachment id: the list read, shortcuts resolved, the items packed into one
// zip archive when needed, the multipart request to the raw upload service, and its answer read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Packing.h"
#include "platform/ShellLinks.h"
#include "sending/CHTTP.h"
#include "sending/HttpMessage.h"

namespace qv
{

// One job's own copy of its fields: a hand-off that arrives while another job runs never touches them.
struct UploadJob
{
    std::string sFilePaths; // blank-separated, or each in double quotes with one blank between
    std::string sFileNames; // display names in the same form; may be blank
    std::string sSubject, sFromAddress, sFromName, sToName, sBody;
};

struct UploadFailure
{
    int32_t nNumber = 0;
    std::string sDescription;
};

struct UploadItem
{
    std::string sPath;
    std::string sName; // empty without names
};

struct FileList
{
    std::string sSeparator;
    std::vector<UploadItem> Items; // quotes removed, names reduced to their file names
    bool bNamesGiven = false;
    std::optional<UploadFailure> Failure;
};
FileList SplitFileList(std::string_view sFilePaths, std::string_view sFileNames);

// One start of the packer: its working folder and its parameters.
struct ZipRun
{
    std::string sFolder;
    std::string sParameters;
};
struct ZipPlan
{
    std::vector<ZipRun> Runs;
    std::optional<UploadFailure> Failure;
};
// Items grouped by folder, one run per group; a folder item ("...\name\*.*") is packed with its contents.
ZipPlan PlanZip(const std::vector<std::string>& paths, const std::string& sArchive);

// "12 B", "1.5 KB", "3 MB": one decimal at most, halves to the even digit.
std::string SizeText(uint64_t nTotal, const std::string& sDecimalSeparator);

inline constexpr std::string_view sUploadBoundary = "----QuorvelPostBoundary";

struct UploadPart
{
    std::string sDisplayName; // as the user reads it
    std::string sPath;        // the file sent, read while the request goes out
    uint64_t nSize = 0;
};
// The boundary, changed only when a part's bytes hold "--" and the boundary. nullopt: a file cannot be read.
std::optional<std::string> ChooseBoundary(const std::vector<UploadPart>& parts, IFiles& files);
HttpRequest BuildUploadRequest(const std::vector<UploadPart>& parts, const std::string& sHost,
                               const std::string& sAuthToken, const std::string& sBoundary);

struct UploadAnswer
{
    enum class Kind { NoHeaders, Redirect, Refused, Accepted };
    Kind nKind = Kind::NoHeaders;
    std::string sLocation;
    std::string sBody;     // refused: what the user is shown
    std::string sAttachId; // accepted: the last quoted field, several ids joined by commas stay together
};
UploadAnswer ReadUploadAnswer(std::string_view sResponse);

struct UploadOutcome
{
    enum class Kind { Completed, CodError, ErrorChunk, Silent };
    Kind nKind = Kind::Completed;
    int32_t nNumber = 0;
    std::string sText;     // the description, or the refused answer's body
    std::string sAttachId; // completed
    std::string sSubject;  // completed: the given or the generated subject
};

class Uploader
{
public:
    Uploader(CHTTP& http, IFiles& files, IProcesses& processes, IKeyboard& keyboard, IShellLinks& links,
             IClock& clock, ILocale& locale);

    // Runs the whole job; sUrl: the upload address ("http://" or "https://", the host, the service's path).
    // Nothing is sent when a file cannot be read or packed.
    UploadOutcome Upload(const UploadJob& job, const std::string& sUrl, const std::string& sHost,
                         const std::string& sAuthToken);

    static constexpr int nMaxRedirects = 3;
    static constexpr uint64_t nMaxFileBytes = (uint64_t{1} << 32) - 1;

private:
    // The parts to send, packed when the job asks for it: once per job, whatever the server redirects. sArchive
    // names the temporary archive as soon as the packer may have made it.
    std::optional<UploadOutcome> Prepare(const UploadJob& job, std::vector<UploadPart>& parts, std::string& sArchive);
    // One POST of the parts; sLocation: where the server sent the upload instead.
    UploadOutcome Post(const std::vector<UploadPart>& parts, const std::string& sBoundary, const std::string& sUrl,
                       const std::string& sHost, const std::string& sAuthToken, std::string& sLocation);
    std::string Timestamp();

    CHTTP& HTTP;
    IFiles& Files;
    IProcesses& Processes;
    IKeyboard& Keyboard;
    IShellLinks& Links;
    IClock& Clock;
    ILocale& Locale;
};

} // namespace qv
