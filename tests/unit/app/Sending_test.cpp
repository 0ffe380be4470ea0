// Files handed over, on fakes: failures, the Shift key, shortcuts, a hand-off during a job, redirects and the
// wait for the first login. The request's bytes and the message each hand-off ends in are the integration test's.
#include "../Answers.h"
#include "../FormFixture.h"

namespace qv
{
namespace
{

using namespace test;

std::string Answer(const std::string& sBody)
{
    return Envelope("<context xmlns=\"urn:zimbra\"><session id=\"1842\">1842</session></context>", sBody);
}
const std::string sDraftSaved =
    Answer("<SaveDraftResponse xmlns=\"urn:zimbraMail\"><m id=\"301\"/></SaveDraftResponse>");
const std::string sSent = Answer("<SendMsgResponse xmlns=\"urn:zimbraMail\"><m id=\"302\"/></SendMsgResponse>");

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
        M.Sockets.Names["mail.example.com"] = "127.0.0.1";
        M.Files.Contents[R"(C:\docs\a.txt)"] = "hello";
    }
    void HandOver(const std::string& sText, TrayEventKind nKind = TrayEventKind::MapiMensaje)
    {
        Form.OnTrayEvent({nKind, 0, sText});
    }
    void SendFiles(const std::string& sPaths) { HandOver(sPaths, TrayEventKind::UploadFile); }
    // The upload is accepted with that id, the draft saved, and the browser's own login answered.
    void ServerAccepts(const std::string& sId)
    {
        const std::string sBody = "200,'null','" + sId + "'\n";
        // Its length said, so that each connection takes its own answer.
        M.Sockets.Answer.push_back("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(sBody.size()) + "\r\n\r\n" +
                                   sBody);
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sDraftSaved));
        M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(LoginAnswer("5m")));
    }
    std::string Shown() const { return M.Dialogs.Shown.empty() ? "" : M.Dialogs.Shown.back().sText; }
    bool Sent(size_t nRequest, const std::string& sPart) const
    {
        return M.Soap.Requests.at(nRequest).sBody.find(sPart) != std::string::npos;
    }
};

// A job that cannot send every byte it was given stops before anything goes out, and says why.
TEST_F(Sending, AFileThatCannotBeSentWholeStopsTheJobAndNothingIsSent)
{
    struct Case
    {
        const char* sPaths;
        std::function<void(fake::FakeMachine&)> Arrange;
        const char* sShown;
    };
    const auto Folder = [](fake::FakeMachine& m) { m.Files.Folders.push_back(R"(C:\docs\pics)"); };
    const Case cases[] = {
        {R"(C:\docs\gone.txt)", nullptr,
         "Upload error #53: File not found\r\ndbg: 0.10\r\nLargo sep=1\r\nFilename: C:\\docs\\gone.txt\r\n1415"},
        {R"(C:\docs\a.txt)", [](fake::FakeMachine& m) { m.Files.Locked.push_back(R"(C:\docs\a.txt)"); },
         "Upload error #75: DbgTrack: 142616\r\nThe file cannot be read.\r\nC:\\docs\\a.txt"},
        {R"(C:\docs\a.txt)", [](fake::FakeMachine& m) { m.Files.BigSizes[R"(C:\docs\a.txt)"] = uint64_t{1} << 32; },
         "Upload error #54113: The file is too large"},
        {R"(C:\docs\pics)",
         [&](fake::FakeMachine& m) {
             Folder(m);
             m.Processes.Results = {{false, 2, 0}}; // not started
         },
         "Upload error #2: The packer could not be started."},
        {R"(C:\docs\a.txt C:\docs\pics)",
         [&](fake::FakeMachine& m) {
             Folder(m);
             m.Processes.Results = {{true, 0, 12}};
         },
         "Upload error #12: Zip return code error.\r\nC:\\Temp\\2_objects.zip, "
         "C:\\Temp\\2_objects_tmp_20260101000000.zip"},
    };
    SignIn();
    fake::FakeMachine& m = M;
    // The packer leaves a partial archive behind.
    m.Processes.OnRun = [&m](const fake::FakeProcesses::Run& run) {
        const size_t nStart = run.sParameters.find('"') + 1;
        m.Files.Contents[run.sParameters.substr(nStart, run.sParameters.find('"', nStart) - nStart)] = "PK";
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sShown);
        m.Files.Locked.clear();
        m.Files.BigSizes.clear();
        m.Processes.Results.clear();
        m.Processes.Runs.clear();
        if (c.Arrange)
            c.Arrange(m);
        ServerAccepts("never");
        SendFiles(c.sPaths);
        EXPECT_EQ(Shown().substr(0, std::string(c.sShown).size()), c.sShown);
        EXPECT_EQ(m.Sockets.sSent, "");
        EXPECT_TRUE(m.Soap.Requests.empty());
        EXPECT_EQ(m.Files.Contents.size(), 1u); // the archive is gone
        m.Sockets.Answer.clear();
        m.Soap.Replies.clear();
    }
}

TEST_F(Sending, AShortcutIsSentAsItsTargetAndShiftPacksItWithoutTouchingAnotherFile)
{
    SignIn();
    M.ShellLinks.Links[R"(C:\Desktop\a.lnk)"].sPath = R"(C:\docs\a.txt)";
    M.Keyboard.bShift = true;
    M.Files.Contents[R"(C:\Temp\Quorvel_tmp_20260101000000.zip)"] = "not ours";
    const std::string sArchive = R"(C:\Temp\Quorvel_tmp_20260101000000_1.zip)";
    M.Processes.OnRun = [&](const fake::FakeProcesses::Run&) { M.Files.Contents[sArchive] = "PK archive"; };
    ServerAccepts("s1:z");
    SendFiles(R"(C:\Desktop\a.lnk)");
    ASSERT_EQ(M.Processes.Runs.size(), 1u);
    EXPECT_EQ(M.Processes.Runs[0].sProgram, R"(C:\Program Files\Quorvel\zip.exe)");
    EXPECT_EQ(M.Processes.Runs[0].sFolder, R"(C:\docs)");
    EXPECT_EQ(M.Processes.Runs[0].sParameters, R"(-SXj "C:\Temp\Quorvel_tmp_20260101000000_1.zip" "a.txt")");
    EXPECT_NE(M.Sockets.sSent.find("\r\nHost: mail.example.com\r\n"), std::string::npos);
    EXPECT_NE(M.Sockets.sSent.find("filename=\"a.zip\"\r\n\r\nPK archive\r\n"), std::string::npos);
    EXPECT_EQ(M.Files.Contents.count(sArchive), 0u);
    EXPECT_EQ(M.Files.Contents[R"(C:\Temp\Quorvel_tmp_20260101000000.zip)"], "not ours");
    EXPECT_TRUE(Sent(0, "<su>a.zip (10 B)</su>"));
    EXPECT_EQ(M.Shell.Opened.size(), 1u);
}

// A hand-off while the packer runs waits for the running job, which keeps its own recipients and subject.
TEST_F(Sending, AHandOffDuringAJobWaitsForItWithItsOwnFields)
{
    SignIn();
    M.Files.Folders.push_back(R"(C:\docs\pics)");
    M.Processes.OnRun = [&](const fake::FakeProcesses::Run&) {
        M.Files.Contents[R"(C:\Temp\Quorvel_tmp_20260101000000.zip)"] = "PK";
        HandOver("|@|3|@|Bob|bob@x.org|@|5|@|Second|@|6|@|Text|@|7|@|C:\\docs\\a.txt|a.txt");
        EXPECT_TRUE(M.Soap.Requests.empty()); // nothing of the second job yet
    };
    ServerAccepts("s1:first");
    ServerAccepts("s1:second");
    M.Soap.Replies.pop_back();
    M.Soap.Replies.back() = fake::FakeSoapTransport::Ok(sSent);
    SendFiles(R"(C:\docs\pics)");
    ASSERT_EQ(M.Soap.Requests.size(), 3u); // the draft, the browser's login, the message
    EXPECT_TRUE(Sent(0, "<SaveDraftRequest"));
    EXPECT_TRUE(Sent(0, "<su>pics.zip (2 B)</su>"));
    EXPECT_TRUE(Sent(0, "aid=\"s1:first\""));
    EXPECT_FALSE(Sent(0, "bob@x.org"));
    EXPECT_TRUE(Sent(2, "<SendMsgRequest"));
    EXPECT_TRUE(Sent(2, "<su>Second</su>"));
    EXPECT_TRUE(Sent(2, "aid=\"s1:second\""));
}

TEST_F(Sending, ARedirectIsFollowedAFewTimesWithoutTheCookieElsewhereAndPacksOnce)
{
    SignIn();
    M.Keyboard.bShift = true;
    M.Processes.OnRun = [&](const fake::FakeProcesses::Run& run) {
        M.Files.Contents[run.sParameters.substr(6, run.sParameters.find('"', 6) - 6)] = "PK archive";
    };
    for (int i = 0; i < 6; ++i)
        M.Sockets.Answer.push_back("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.2/service/upload?fmt=raw\r\n"
                                   "Content-Length: 0\r\n\r\n");
    SendFiles(R"(C:\docs\a.txt)");
    const auto Count = [&](const std::string& sPart) {
        size_t nFound = 0;
        for (size_t n = 0; (n = M.Sockets.sSent.find(sPart, n)) != std::string::npos; ++n)
            ++nFound;
        return nFound;
    };
    EXPECT_EQ(Count("POST /"), 1u + Uploader::nMaxRedirects);
    EXPECT_EQ(Count("PK archive"), 1u + Uploader::nMaxRedirects);
    EXPECT_EQ(M.Processes.Runs.size(), 1u);
    EXPECT_EQ(Count("ZM_AUTH_TOKEN"), 1u);
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
    SendFiles(R"(C:\a.txt)");
    EXPECT_EQ(M.Sockets.sSent, "");
    M.Sockets.Answer.push_back("HTTP/1.1 200 OK\r\n\r\n200,'null','s1:late'\n");
    AnswerWith(LoginAnswer("5m"));
    M.Soap.Replies.push_back(fake::FakeSoapTransport::Ok(sDraftSaved));
    Form.mnuPopComprobar_Click();
    EXPECT_NE(M.Sockets.sSent.find("filename=\"a.txt\""), std::string::npos);
    EXPECT_TRUE(std::any_of(M.Soap.Requests.begin(), M.Soap.Requests.end(),
                            [](const auto& r) { return r.sBody.find("aid=\"s1:late\"") != std::string::npos; }));
}

} // namespace
} // namespace qv
