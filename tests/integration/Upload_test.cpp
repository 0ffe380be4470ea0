// The upload against the fake server's raw upload service: files, names, a folder through the native packer,
// failures, and the request's exact bytes; then the program itself turning a mail client's hand-off into a draft,
// a sent message or the server's refusal. The program's paths are Windows paths; here a backslash stands for "/".
#include "sending/Upload.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ServerFixture.h"
#include "app/frmMain.h"
#include "platform/posix/CurlTls.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixSockets.h"
#include "settings/SettingsStore.h"

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
    // The entries of a stored archive, "name size" a line, as Python's zipfile reads them.
    std::string Entries(const FakeServer& server, const std::string& sAid) const
    {
        std::ofstream(sFolder + "/state.json") << server.State();
        return test::Output(
            std::string(QUORVEL_PYTHON) +
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

TEST_F(UploadServer, AFolderGoesThroughThePackerAndLeavesNothingInTemp)
{
    FakeServer server;
    SignIn(server);
    UploadOutcome outcome = Send(server, Path("photos"));
    ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
    EXPECT_EQ(outcome.sSubject.substr(0, 12), "photos.zip (");
    EXPECT_EQ(Entries(server, outcome.sAttachId), "photos.zip\nphotos/sub/y.bin 2\nphotos/x.txt 3\n");
    EXPECT_TRUE(std::filesystem::is_empty(sFolder + "/temp"));

    // The Shift key packs a single file.
    Keyboard.bShift = true;
    outcome = Send(server, Path("a.txt"));
    ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
    EXPECT_EQ(Entries(server, outcome.sAttachId), "a.zip\na.txt 7\n");

    // A packer that fails in the second group's file, after the first group has written the archive, sends
    // nothing and leaves no archive (a missing file is the unit test's).
    const size_t nBefore = Uploads(server).size();
    outcome = Send(server, Path("a.txt") + " " + Windows("/proc/self/mem"));
    EXPECT_EQ(outcome.nKind, UploadOutcome::Kind::CodError);
    EXPECT_EQ(outcome.sText.substr(0, 22), "Zip return code error.");
    EXPECT_EQ(Uploads(server).size(), nBefore);
    EXPECT_TRUE(std::filesystem::is_empty(sFolder + "/temp"));
}

// Files arrive byte for byte under their names, the request exactly as written.
TEST_F(UploadServer, TheRequestArrivesAsWritten)
{
    FakeServer server;
    SignIn(server);
    const UploadOutcome outcome = Send(server, "\"" + Path("a b.txt") + "\" \"" + Path("Año 1.txt") + "\"");
    ASSERT_EQ(outcome.nKind, UploadOutcome::Kind::Completed) << outcome.sText;
    EXPECT_EQ(outcome.sSubject, "2 objects (21 B)");
    EXPECT_EQ(std::count(outcome.sAttachId.begin(), outcome.sAttachId.end(), ','), 1) << outcome.sAttachId;
    EXPECT_EQ(Send(server, Path("a.txt")).sSubject, "a.txt (7 B)");
    const auto uploads = Uploads(server);
    ASSERT_EQ(uploads.size(), 2u);
    const std::string sBody =
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"_charset_\"\r\n\r\n\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"filename1\"\r\n\r\na b.txt\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"a b.txt\"\r\n\r\n" +
        std::string("with a zero\0byte", 16) +
        "\r\n------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n1\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"filename2\"\r\n\r\n=?utf-8?Q?A=C3=B1o_1=2Etxt?=\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"_attFile_\"; "
        "filename=\"=?utf-8?Q?A=C3=B1o_1=2Etxt?=\"\r\n\r\naño\n\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n2\r\n"
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
}

// The program itself on the real network, files and packer; the rest of the machine is fake.
struct Program
{
    explicit Program(IFiles& files)
        : Machine{M.Registry, Soap,          M.Dialogs, M.Clock, M.Locale,    M.Timers,    M.View,
                  M.Tray,     M.Integration, M.System,  M.Shell, M.ItemIcons, M.Windows,   M.WinSetup,
                  Sockets,    Tls,           files,     Packer,  M.Keyboard,  M.ShellLinks}
    {
    }
    fake::FakeMachine M;
    CurlTransport Soap;
    PosixSockets Sockets;
    CurlTls Tls;
    NativePacker Packer;
    Platform Machine;
    frmMain Form{Machine};
};

// A mail client's message: a subject alone is a draft the web mail opens, recipients send it at once with its
// file, and a send the server refuses for its size tells the user the server's reason and stores nothing. The
// session and the timed checks go on after each.
TEST_F(UploadServer, AHandOffIsSavedSentOrRefusedWithTheServersReason)
{
    struct Case
    {
        std::string sScenario;
        std::string sText;
        const char* sRequest;
        const char* sStored; // the message as the server keeps it; empty: none
        const char* sShown;
    };
    const std::string sFile = "|@|7|@|" + Path("a b.txt") + "|a b.txt";
    const Case cases[] = {
        {"", "|@|5|@|Report", "<SaveDraftRequest", "\"folder\": 6, \"flags\": \"sd\"", ""},
        {"", "|@|3|@|Bob|smtp:bob@example.com|@|5|@|Hi|@|6|@|Text" + sFile, "<SendMsgRequest",
         "\"folder\": 5, \"flags\": \"sa\"", ""},
        {R"({"script": [{"match": {"contains": ["SendMsgRequest"]}, "respond": {"fault": )"
         R"({"code": "mail.MESSAGE_TOO_BIG", "detail": 31457280, "args": [["maxSize", "NUM", 10485760]]}}}]})",
         "|@|3|@|Bob|bob@example.com|@|5|@|Hi|@|6|@|Text" + sFile, "<SendMsgRequest", "",
         "Message of size 31457280 exceeded allowed size"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sText);
        FakeServer server(c.sScenario);
        Program program(Files);
        fake::FakeMachine& m = program.M;
        for (const auto& [sName, sValue] : {std::pair<const char*, std::string>{"ZimbraHost", server.HostAndPort()},
                                            {"Username", "alice"},
                                            {"Password", "text:secret"}})
            m.Registry.Put(sSettingsKey, sName, RegValue{RegKind::Text, sValue, 0});
        program.Form.Form_Load(); // a stored account checks at once and stays hidden
        ASSERT_FALSE(program.Form.Session.sAuthToken.empty()) << program.Form.Session.sLastError;
        EXPECT_FALSE(m.View.bVisible);
        EXPECT_EQ(program.Form.Settings.Controls.lblMailPollInterval, "300");
        program.Form.OnTrayEvent({TrayEventKind::MapiMensaje, 0, c.sText});

        const auto requests = server.Requests();
        const auto message =
            std::find_if(requests.begin(), requests.end(), [&](const auto& r) { return Has(r.sBody, c.sRequest); });
        ASSERT_NE(message, requests.end());
        EXPECT_EQ(Has(message->sBody, "<attach aid=\""), Has(c.sText, sFile)) << message->sBody;
        EXPECT_TRUE(Has(message->sBody, "<change token=\"")) << message->sBody;
        const std::string sState = server.State();
        EXPECT_EQ(Has(sState, "\"subject\": \""), *c.sStored != 0) << sState;
        EXPECT_TRUE(Has(sState, c.sStored)) << sState;
        EXPECT_EQ(m.Dialogs.Shown.empty() ? "" : m.Dialogs.Shown.back().sText, c.sShown);
        EXPECT_EQ(m.Shell.Opened.size(), std::string(c.sRequest) == "<SaveDraftRequest" ? 1u : 0u);
        EXPECT_FALSE(program.Form.Session.sAuthToken.empty());
        EXPECT_EQ(m.Timers.Armed.at(TimerId::Check), 300000);
        EXPECT_FALSE(m.View.bLocked);
    }
}

} // namespace
} // namespace qv
