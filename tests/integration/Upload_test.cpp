// The upload against the fake server's raw upload service: files, names, a folder through the native packer,
// a missing file, the request's exact bytes, and a draft that holds the attachment. The program's paths are
// Windows paths; here a backslash stands for "/".
#include "sending/Upload.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ServerFixture.h"
#include "platform/posix/CurlTls.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixSockets.h"
#include "session/Draft.h"
#include "session/Envelope.h"

namespace qv
{
namespace
{

using test::FakeServer;

std::string Posix(std::string sPath)
{
    std::replace(sPath.begin(), sPath.end(), '\\', '/');
    return sPath;
}

std::string Windows(std::string sPath)
{
    std::replace(sPath.begin(), sPath.end(), '/', '\\');
    return sPath;
}

class WindowsPathFiles final : public IFiles
{
public:
    std::string sTemp;
    std::optional<uint64_t> Size(const std::string& sPath) override { return Files.Size(Posix(sPath)); }
    bool IsFolder(const std::string& sPath) override { return Files.IsFolder(Posix(sPath)); }
    std::unique_ptr<IFileReader> OpenRead(const std::string& sPath) override { return Files.OpenRead(Posix(sPath)); }
    bool Delete(const std::string& sPath) override { return Files.Delete(Posix(sPath)); }
    std::string TempFolder() override { return Windows(sTemp); }
    std::vector<std::string> Environment() override { return Files.Environment(); }

private:
    PosixFiles Files;
};

// zip.exe is the native build of the packer.
class NativePacker final : public IProcesses
{
public:
    std::string ProgramFolder() override { return "\\program\\"; }
    ProcessRun RunAndWait(const std::string& sProgram, const std::string& sParameters,
                          const std::string& sFolder) override
    {
        EXPECT_EQ(sProgram, "\\program\\zip.exe");
        return Processes.RunAndWait(QUORVEL_ZIP, Posix(sParameters), Posix(sFolder));
    }

private:
    PosixProcesses Processes;
};

std::string Output(const std::string& sCommand)
{
    std::string sOut;
    FILE* pPipe = ::popen(sCommand.c_str(), "r");
    char buffer[4096];
    for (size_t n; pPipe && (n = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0;)
        sOut.append(buffer, n);
    if (pPipe)
        ::pclose(pPipe);
    return sOut;
}

class UploadServer : public test::ServerFixture
{
protected:
    std::string sFolder;
    WindowsPathFiles Files;
    NativePacker Packer;
    PosixSockets Sockets;
    CurlTls Tls;
    CHTTP HTTP{Sockets, Tls, Files, Dialogs};
    fake::FakeKeyboard Keyboard;
    fake::FakeShellLinks Links;
    Uploader Upload{HTTP, Files, Packer, Keyboard, Links, Clock, Locale};

    void SetUp() override
    {
        sFolder = std::filesystem::temp_directory_path() / ("quorvel-upload-" + std::to_string(::getpid()));
        std::filesystem::create_directories(sFolder + "/temp");
        std::filesystem::create_directories(sFolder + "/photos/sub");
        Files.sTemp = sFolder + "/temp";
        const std::pair<const char*, std::string> files[] = {{"a.txt", "hello\r\n"},
                                                             {"Año 1.txt", "año\n"},
                                                             {"a b.txt", std::string("with a zero\0byte", 16)},
                                                             {"photos/x.txt", "xyz"},
                                                             {"photos/sub/y.bin", "\x01\x02"}};
        for (const auto& [sName, sBytes] : files)
            std::ofstream(sFolder + "/" + sName, std::ios::binary) << sBytes;
        HTTP.Timeouts = {5000, 10000, 10000};
    }
    void TearDown() override { std::filesystem::remove_all(sFolder); }

    std::string Path(const std::string& sName) const { return Windows(sFolder + "/" + sName); }
    UploadOutcome Send(const FakeServer& server, const std::string& sPaths)
    {
        UploadJob job;
        job.sFilePaths = sPaths;
        return Upload.Upload(job, "http://" + server.HostAndPort() + "/service/upload?fmt=raw", server.HostAndPort(),
                             Session.sAuthToken);
    }
    std::string Sha256(const std::string& sName) const
    {
        return Output("sha256sum '" + sFolder + "/" + sName + "'").substr(0, 64);
    }
    // The entries of a stored archive, "name size" a line, as Python's zipfile reads them.
    std::string Entries(const FakeServer& server, const std::string& sAid) const
    {
        std::ofstream(sFolder + "/state.json") << server.State();
        return Output(std::string(QUORVEL_PYTHON) +
                      " -c \"import base64,io,json,sys,zipfile; u=json.load(open(sys.argv[1]))['uploads'][sys.argv[2]];"
                      " z=zipfile.ZipFile(io.BytesIO(base64.b64decode(u['b64'])));"
                      " print(u['name']); [print(i.filename, i.file_size) for i in sorted(z.infolist(), key=lambda i: "
                      "i.filename) if not i.is_dir()]\" '" +
                      sFolder + "/state.json' '" + sAid + "'");
    }
    std::vector<test::RecordedRequest> Uploads(const FakeServer& server) const
    {
        std::vector<test::RecordedRequest> found;
        for (const auto& request : server.Requests())
            if (request.sPath.rfind("/service/upload", 0) == 0)
                found.push_back(request);
        return found;
    }
};

TEST_F(UploadServer, FilesArriveWithTheirBytesUnderTheirNames)
{
    FakeServer server;
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    struct Case
    {
        std::string sPaths;
        std::vector<std::pair<const char*, const char*>> Stored; // file, name as stored
        const char* sSubject;
    };
    const Case cases[] = {
        {Path("a.txt"), {{"a.txt", "a.txt"}}, "a.txt (7 B)"},
        {"\"" + Path("a.txt") + "\" \"" + Path("Año 1.txt") + "\" \"" + Path("a b.txt") + "\"",
         {{"a.txt", "a.txt"}, {"Año 1.txt", "=?utf-8?Q?A=C3=B1o_1=2Etxt?="}, {"a b.txt", "a b.txt"}},
         "3 objects (28 B)"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sPaths);
        const UploadOutcome outcome = Send(server, c.sPaths);
        ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
        EXPECT_EQ(outcome.sSubject, c.sSubject);
        EXPECT_EQ(std::count(outcome.sAttachId.begin(), outcome.sAttachId.end(), ','), c.Stored.size() - 1);
        const std::string sState = server.State();
        for (const auto& [sFile, sName] : c.Stored)
        {
            EXPECT_NE(sState.find("\"name\": \"" + std::string(sName) + "\", \"size\""), std::string::npos) << sName;
            EXPECT_NE(sState.find("\"sha256\": \"" + Sha256(sFile) + "\""), std::string::npos) << sFile;
        }
    }
}

TEST_F(UploadServer, AFolderGoesThroughThePackerAndLeavesNothingInTemp)
{
    FakeServer server;
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    UploadOutcome outcome = Send(server, Path("photos"));
    ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
    EXPECT_EQ(outcome.sSubject.substr(0, 12), "photos.zip (");
    EXPECT_EQ(Entries(server, outcome.sAttachId), "photos.zip\nphotos/sub/y.bin 2\nphotos/x.txt 3\n");
    EXPECT_TRUE(std::filesystem::is_empty(sFolder + "/temp"));

    // The Shift key packs a single file; the packer's failure stops the job and removes its archive.
    Keyboard.bShift = true;
    outcome = Send(server, Path("a.txt"));
    ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
    EXPECT_EQ(Entries(server, outcome.sAttachId), "a.zip\na.txt 7\n");
    const size_t nBefore = Uploads(server).size();
    // The second group fails in the middle of its file, after the first one has written the archive.
    outcome = Send(server, Path("a.txt") + " " + Windows("/proc/self/mem"));
    EXPECT_EQ(outcome.nKind, UploadOutcome::Kind::CodError);
    EXPECT_EQ(outcome.sText.substr(0, 22), "Zip return code error.") << outcome.sText;
    EXPECT_EQ(Uploads(server).size(), nBefore);
    EXPECT_TRUE(std::filesystem::is_empty(sFolder + "/temp"));
}

TEST_F(UploadServer, AMissingFileIsTheErrorFiftyThreeAndNothingIsSent)
{
    FakeServer server;
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    const UploadOutcome outcome = Send(server, Path("a.txt") + " " + Path("gone.txt"));
    EXPECT_EQ(outcome.nKind, UploadOutcome::Kind::CodError);
    EXPECT_EQ(outcome.nNumber, 53);
    EXPECT_EQ(outcome.sText, "File not found\r\ndbg: 0.10\r\nLargo sep=1\r\nFilename: " + Path("gone.txt"));
    EXPECT_TRUE(Uploads(server).empty());
}

TEST_F(UploadServer, TheRequestArrivesAsWrittenAndTheDraftHoldsTheAttachment)
{
    FakeServer server;
    Account(server);
    ASSERT_TRUE(Cycle.Comprobar()) << Session.sLastError;
    const UploadOutcome outcome = Send(server, "\"" + Path("a b.txt") + "\"");
    ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
    const auto uploads = Uploads(server);
    ASSERT_EQ(uploads.size(), 1u);
    const std::string sBody = "------QuorvelPostBoundary\r\n"
                              "Content-Disposition: form-data; name=\"_charset_\"\r\n\r\n\r\n"
                              "------QuorvelPostBoundary\r\n"
                              "Content-Disposition: form-data; name=\"filename1\"\r\n\r\na b.txt\r\n"
                              "------QuorvelPostBoundary\r\n"
                              "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"a b.txt\"\r\n\r\n" +
                              std::string("with a zero\0byte", 16) +
                              "\r\n------QuorvelPostBoundary\r\n"
                              "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n1\r\n"
                              "------QuorvelPostBoundary--\r\n";
    EXPECT_EQ(uploads[0].sBody, sBody);
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"Accept", "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"},
        {"Accept-Language", "en-us"},
        {"Content-Type", "multipart/form-data; boundary=----QuorvelPostBoundary"},
        {"Accept-Encoding", ""},
        {"User-Agent", "Quorvel/5.0.1 (Windows)"},
        {"Host", server.HostAndPort()},
        {"Content-Length", std::to_string(sBody.size())},
        {"Connection", "Close"},
        {"Cookie", "ZM_TEST=true; ZM_AUTH_TOKEN=" + Session.sAuthToken}};
    EXPECT_EQ(uploads[0].Headers, headers);

    DraftFields draft;
    draft.sAttachId = outcome.sAttachId;
    draft.sSubject = outcome.sSubject;
    const std::string sAnswer = Session.SendSoapRequest(SessionEnvelope(
        {Session.sAuthToken, Session.sSessionElement, Session.sSessionId, Session.sNotifySeq, Session.sChangeToken},
        true, DraftRequestBody(draft, Reader.sComposeFormat)));
    ASSERT_TRUE(Reader.ProcessResponse(sAnswer)) << sAnswer << Session.sLastError;
    EXPECT_FALSE(Reader.sDraftId.empty()) << sAnswer;
    EXPECT_NE(server.State().find("\"subject\": \"a b.txt (16 B)\""), std::string::npos);
}

} // namespace
} // namespace qv
