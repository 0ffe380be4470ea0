#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

using namespace test;

class Sending : public FormFixture
{
protected:
    void SignIn()
    {
        StoreAccount();
        AnswerWith(LoginAnswer("5m"));
        Form.Form_Load();
        ASSERT_FALSE(Form.Session.sAuthToken.empty());
        M.Soap.Requests.clear();
    }
    void HandOver(const std::string& sText)
    {
        TrayEvent event;
        event.nKind = TrayEventKind::MapiMensaje;
        event.sCommandLine = sText;
        Form.OnTrayEvent(event);
    }
    static std::string Answer(const std::string& sBody)
    {
        return Envelope("<context xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session></context>", sBody);
    }
};

// A mail client's message: a draft the web mail opens, a message sent at once, or a refusal the user reads.
TEST_F(Sending, AHandedOverMessageEndsInADraftASentMessageOrTheServersReason)
{
    struct Case
    {
        const char* sWhat;
        const char* sText;
        std::string sAnswer;
        const char* sRequest;
        bool bOpened;
        const char* sShown;
    };
    const Case cases[] = {
        {"a subject alone is saved as a draft and opened", "|@|5|@|Report",
         Answer("<SaveDraftResponse xmlns=\"urn:zimbraMail\"><m id=\"301\" f=\"sd\"/></SaveDraftResponse>"),
         "<SaveDraftRequest", true, ""},
        {"recipients, subject and body are sent", "|@|3|@|Bob|smtp:bob@x.org|@|5|@|Hi|@|6|@|Text",
         Answer("<SendMsgResponse xmlns=\"urn:zimbraMail\"><m id=\"302\"/></SendMsgResponse>"), "<SendMsgRequest",
         false, ""},
        {"a refusal for size is told, and the session stays", "|@|3|@|Bob|bob@x.org|@|5|@|Hi|@|6|@|Text",
         FaultAnswer("mail.MESSAGE_TOO_BIG", "Message of size 20000000 exceeded allowed size"), "<SendMsgRequest",
         false, "Message of size 20000000 exceeded allowed size"},
    };
    SignIn();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        M.Shell.Opened.clear();
        M.Dialogs.Shown.clear();
        M.Soap.Requests.clear();
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(c.sAnswer));
        HandOver(c.sText);
        ASSERT_FALSE(M.Soap.Requests.empty());
        EXPECT_NE(M.Soap.Requests[0].sBody.find(c.sRequest), std::string::npos) << M.Soap.Requests[0].sBody;
        EXPECT_NE(M.Soap.Requests[0].sBody.find("<change token=\"4271\"/>"), std::string::npos);
        EXPECT_EQ(M.Shell.Opened.size(), c.bOpened ? 1u : 0u);
        EXPECT_EQ(M.Dialogs.Shown.empty() ? "" : M.Dialogs.Shown[0].sText, c.sShown);
        EXPECT_FALSE(Form.Session.sAuthToken.empty());
        EXPECT_EQ(M.Timers.Armed.at(TimerId::Check), 300000);
        EXPECT_FALSE(M.View.bLocked);
    }
}

TEST_F(Sending, WithoutASessionNothingIsSentAndTheSettingsComeUp)
{
    Store("ZimbraHost", "mail.example.com");
    Form.Form_Load();
    M.View.bVisible = false;
    HandOver("|@|5|@|Report");
    EXPECT_TRUE(M.Soap.Requests.empty());
    EXPECT_TRUE(M.View.bVisible);
}

// Files handed over by a second copy: the request as it goes on the wire, then the draft that holds the upload.
class SendingFiles : public Sending
{
protected:
    void SetUp() override
    {
        SignIn();
        M.Sockets.Names["mail.example.com"] = "127.0.0.1";
        M.Files.Contents[R"(C:\docs\a.txt)"] = "hello";
        M.Files.Contents[R"(C:\docs\Año 1.txt)"] = "año";
    }
    void SendFiles(const std::string& sPaths)
    {
        TrayEvent event;
        event.nKind = TrayEventKind::UploadFile;
        event.sCommandLine = sPaths;
        Form.OnTrayEvent(event);
    }
    void ServerAccepts(const std::string& sId)
    {
        const std::string sBody = "200,'null','" + sId + "'\n";
        // Its length said, so that each connection takes its own answer.
        M.Sockets.Answer.push_back("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                   std::to_string(sBody.size()) + "\r\n\r\n" + sBody);
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(
            Answer("<SaveDraftResponse xmlns=\"urn:zimbraMail\"><m id=\"301\"/></SaveDraftResponse>")));
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(LoginAnswer("5m"))); // the browser's own login
    }
    std::string Shown() const { return M.Dialogs.Shown.empty() ? "" : M.Dialogs.Shown.back().sText; }
};

TEST_F(SendingFiles, TheRequestGoesOutByteForByteAndTheDraftHoldsTheAttachment)
{
    ServerAccepts("s1:u-1");
    SendFiles(R"("C:\docs\a.txt" "C:\docs\Año 1.txt")");
    const std::string sBody =
        "--"
        "----QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"_charset_\"\r\n\r\n\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"filename1\"\r\n\r\na.txt\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"a.txt\"\r\n\r\n"
        "hello\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n1\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"filename2\"\r\n\r\n=?utf-8?Q?A=C3=B1o_1=2Etxt?=\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"_attFile_\"; filename=\"=?utf-8?Q?A=C3=B1o_1=2Etxt?=\""
        "\r\n\r\naño\r\n"
        "------QuorvelPostBoundary\r\n"
        "Content-Disposition: form-data; name=\"requestId\"\r\n\r\n2\r\n"
        "------QuorvelPostBoundary--\r\n";
    EXPECT_EQ(M.Sockets.sSent, "POST /service/upload?fmt=raw HTTP/1.1\r\n"
                               "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                               "Accept-Language: en-us\r\n"
                               "Content-Type: multipart/form-data; boundary=----QuorvelPostBoundary\r\n"
                               "Accept-Encoding: \r\n"
                               "User-Agent: Quorvel/5.0.1 (Windows)\r\n"
                               "Host: mail.example.com\r\n"
                               "Content-Length: " +
                                   std::to_string(sBody.size()) +
                                   "\r\n"
                                   "Connection: Close\r\n"
                                   "Cookie: ZM_TEST=true; ZM_AUTH_TOKEN=0_56393c24f4ab_69643d33\r\n\r\n" +
                                   sBody);
    ASSERT_FALSE(M.Soap.Requests.empty());
    const std::string& sDraft = M.Soap.Requests[0].sBody;
    EXPECT_NE(sDraft.find("<m f=\"ad\">"), std::string::npos) << sDraft;
    EXPECT_NE(sDraft.find("<su>2 objects (9 B)</su>"), std::string::npos) << sDraft;
    EXPECT_NE(sDraft.find("<attach aid=\"s1:u-1\">"), std::string::npos) << sDraft;
    EXPECT_EQ(M.Shell.Opened.size(), 1u);
    EXPECT_EQ(Shown(), "");
}

// A job that cannot send every byte it was given stops before anything goes out, and says why.
TEST_F(SendingFiles, AFileThatCannotBeSentWholeStopsTheJobAndNothingIsSent)
{
    struct Case
    {
        const char* sWhat;
        const char* sPaths;
        std::function<void(fake::FakeMachine&)> Arrange;
        const char* sShown;
    };
    const auto Folder = [](fake::FakeMachine& m) { m.Files.Folders.push_back(R"(C:\docs\pics)"); };
    const Case cases[] = {
        {"missing", R"(C:\docs\gone.txt)", nullptr,
         "Upload error #53: File not found\r\ndbg: 0.10\r\nLargo sep=1\r\nFilename: C:\\docs\\gone.txt\r\n1415"},
        {"unreadable", R"(C:\docs\a.txt)", [](fake::FakeMachine& m) { m.Files.Locked.push_back(R"(C:\docs\a.txt)"); },
         "Upload error #75: DbgTrack: 142616\r\nThe file cannot be read.\r\nC:\\docs\\a.txt"},
        {"4 GB", R"(C:\docs\a.txt)",
         [](fake::FakeMachine& m) { m.Files.BigSizes[R"(C:\docs\a.txt)"] = uint64_t{1} << 32; },
         "Upload error #54113: The file is too large"},
        {"packer not started", R"(C:\docs\pics)",
         [&](fake::FakeMachine& m) {
             Folder(m);
             m.Processes.Results = {{false, 2, 0}};
         },
         "Upload error #2: The packer could not be started."},
        {"packer failed", R"(C:\docs\a.txt C:\docs\pics)",
         [&](fake::FakeMachine& m) {
             Folder(m);
             m.Processes.Results = {{true, 0, 12}};
         },
         "Upload error #12: Zip return code error.\r\nC:\\Temp\\2_objects.zip, "
         "C:\\Temp\\2_objects_tmp_20260101000000.zip"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        fake::FakeMachine& m = M;
        m.Files.Locked.clear();
        m.Files.BigSizes.clear();
        m.Processes.Results.clear();
        m.Processes.Runs.clear();
        // The packer leaves a partial archive behind.
        m.Processes.OnRun = [&m](const fake::FakeProcesses::Run& run) {
            const size_t nStart = run.sParameters.find('"') + 1;
            m.Files.Contents[run.sParameters.substr(nStart, run.sParameters.find('"', nStart) - nStart)] = "PK";
        };
        m.Dialogs.Shown.clear();
        if (c.Arrange)
            c.Arrange(m);
        ServerAccepts("never");
        SendFiles(c.sPaths);
        EXPECT_EQ(Shown().substr(0, std::string(c.sShown).size()), c.sShown);
        EXPECT_EQ(m.Sockets.sSent, "");
        EXPECT_TRUE(m.Soap.Requests.empty());
        EXPECT_EQ(m.Files.Contents.size(), 2u); // the archive is gone
        m.Sockets.Answer.clear();
        m.Soap.Replies.clear();
    }
}

TEST_F(SendingFiles, AShortcutIsSentAsItsTargetAndShiftPacksItWithoutTouchingAnotherFile)
{
    M.ShellLinks.Links[R"(C:\Desktop\a.lnk)"].sPath = R"(C:\docs\a.txt)";
    M.Keyboard.bShift = true;
    M.Files.Contents[R"(C:\Temp\Quorvel_tmp_20260101000000.zip)"] = "not ours";
    std::string sArchive;
    M.Processes.OnRun = [&](const fake::FakeProcesses::Run& run) {
        sArchive = R"(C:\Temp\Quorvel_tmp_20260101000000_1.zip)";
        M.Files.Contents[sArchive] = "PK archive";
    };
    ServerAccepts("s1:z");
    SendFiles(R"(C:\Desktop\a.lnk)");
    ASSERT_EQ(M.Processes.Runs.size(), 1u);
    EXPECT_EQ(M.Processes.Runs[0].sProgram, R"(C:\Program Files\Quorvel\zip.exe)");
    EXPECT_EQ(M.Processes.Runs[0].sFolder, R"(C:\docs)");
    EXPECT_EQ(M.Processes.Runs[0].sParameters, R"(-SXj "C:\Temp\Quorvel_tmp_20260101000000_1.zip" "a.txt")");
    EXPECT_NE(M.Sockets.sSent.find("filename=\"a.zip\"\r\n\r\nPK archive\r\n"), std::string::npos);
    EXPECT_EQ(M.Files.Contents.count(sArchive), 0u);
    EXPECT_EQ(M.Files.Contents[R"(C:\Temp\Quorvel_tmp_20260101000000.zip)"], "not ours");
    ASSERT_FALSE(M.Soap.Requests.empty());
    EXPECT_NE(M.Soap.Requests[0].sBody.find("<su>a.zip (10 B)</su>"), std::string::npos);
}

// A hand-off while the packer runs waits for the running job, which keeps its own recipients and subject.
TEST_F(SendingFiles, AHandOffDuringAJobWaitsForItWithItsOwnFields)
{
    M.Files.Folders.push_back(R"(C:\docs\pics)");
    M.Processes.OnRun = [&](const fake::FakeProcesses::Run& run) {
        M.Files.Contents[R"(C:\Temp\Quorvel_tmp_20260101000000.zip)"] = "PK";
        HandOver("|@|3|@|Bob|bob@x.org|@|5|@|Second|@|6|@|Text|@|7|@|C:\\docs\\a.txt|a.txt");
        EXPECT_TRUE(M.Soap.Requests.empty()) << run.sParameters; // nothing of the second job yet
    };
    ServerAccepts("s1:first");
    ServerAccepts("s1:second");
    M.Soap.Replies.pop_back();
    M.Soap.Replies.back() = fake::FakeSoapTransport::Ok(
        Answer("<SendMsgResponse xmlns=\"urn:zimbraMail\"><m id=\"302\"/></SendMsgResponse>"));
    SendFiles(R"(C:\docs\pics)");
    ASSERT_EQ(M.Soap.Requests.size(), 3u); // the draft, the browser's login, the message
    const std::string &sFirst = M.Soap.Requests[0].sBody, &sSecond = M.Soap.Requests[2].sBody;
    EXPECT_NE(sFirst.find("<SaveDraftRequest"), std::string::npos);
    EXPECT_NE(sFirst.find("<su>pics.zip (2 B)</su>"), std::string::npos) << sFirst;
    EXPECT_NE(sFirst.find("aid=\"s1:first\""), std::string::npos);
    EXPECT_EQ(sFirst.find("bob@x.org"), std::string::npos);
    EXPECT_NE(sSecond.find("<SendMsgRequest"), std::string::npos);
    EXPECT_NE(sSecond.find("<su>Second</su>"), std::string::npos);
    EXPECT_NE(sSecond.find("aid=\"s1:second\""), std::string::npos);
}

TEST_F(SendingFiles, ARedirectIsFollowedAFewTimesWithoutTheCookieElsewhere)
{
    for (int i = 0; i < 6; ++i)
        M.Sockets.Answer.push_back("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.2/service/upload?fmt=raw\r\n"
                                   "Content-Length: 0\r\n\r\n");
    SendFiles(R"(C:\docs\a.txt)");
    size_t nPosts = 0, nCookies = 0;
    for (size_t n = 0; (n = M.Sockets.sSent.find("POST /", n)) != std::string::npos; ++n)
        ++nPosts;
    for (size_t n = 0; (n = M.Sockets.sSent.find("ZM_AUTH_TOKEN", n)) != std::string::npos; ++n)
        ++nCookies;
    EXPECT_EQ(nPosts, 1u + Uploader::nMaxRedirects);
    EXPECT_EQ(nCookies, 1u);
    EXPECT_EQ(Shown().substr(0, 23), "Upload error #54114: Th");
    EXPECT_TRUE(M.Soap.Requests.empty());
}

TEST_F(Sending, FilesHandedOverBeforeTheFirstLoginAreSentAfterIt)
{
    StoreAccount();
    Form.Form_Load(); // the server does not answer yet
    ASSERT_TRUE(Form.Session.sAuthToken.empty());
    M.Files.Contents[R"(C:\a.txt)"] = "x";
    M.Sockets.Names["mail.example.com"] = "127.0.0.1";
    TrayEvent event;
    event.nKind = TrayEventKind::UploadFile;
    event.sCommandLine = R"(C:\a.txt)";
    Form.OnTrayEvent(event);
    EXPECT_EQ(M.Sockets.sSent, "");
    M.Sockets.Answer.push_back("HTTP/1.1 200 OK\r\n\r\n200,'null','s1:late'\n");
    AnswerWith(LoginAnswer("5m"));
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(
        Answer("<SaveDraftResponse xmlns=\"urn:zimbraMail\"><m id=\"301\"/></SaveDraftResponse>")));
    Form.mnuPopComprobar_Click();
    EXPECT_NE(M.Sockets.sSent.find("filename=\"a.txt\""), std::string::npos);
    const auto draft = std::find_if(M.Soap.Requests.begin(), M.Soap.Requests.end(),
                                    [](const auto& r) { return r.sBody.find("aid=\"s1:late\"") != std::string::npos; });
    EXPECT_NE(draft, M.Soap.Requests.end());
}

} // namespace
} // namespace qv
