#include "webmail/Webmail.h"

#include <gtest/gtest.h>

#include "platform/fake/Fakes.h"
#include "webmail/BrowserWindows.h"

namespace qv
{
namespace
{

// The machine around a web-mail opening: the shell, the clocks and the windows on the desktop.
struct Browsing
{
    fake::FakeShell shell;
    fake::FakeClock clock;
    fake::FakeTimers timers;
    fake::FakeWindowTree desktop;
    Webmail web{shell, clock, desktop, timers};
};

WebmailAccount LoggedIn()
{
    WebmailAccount account;
    account.sHost = "mail.example.com";
    account.sAuthToken = "0_ab";
    account.sServerVersion = "8.8.15_GA";
    return account;
}

TEST(WebmailAddress, EachFormOfTheAddress)
{
    WebmailAccount account = LoggedIn();
    EXPECT_EQ(WebmailAddress(account, "a b@x.com&subject=50% off"),
              "http://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab&redirectURL="
              "http://mail.example.com/zimbra/mail%3Fview=compose%26to=a%20b@x.com%26subject=50%25%20off");
    account.sServerVersion = "7.1.4_GA_2555.RHEL5_64";
    account.bSsl = true;
    EXPECT_EQ(WebmailAddress(account, ""),
              "https://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab&redirectURL=/zimbra/mail");
    account.bLogin = false;
    EXPECT_EQ(WebmailAddress(account, "bob@x.com&subject=Hi"),
              "https://mail.example.com/zimbra/mail?view=compose&to=bob@x.com&subject=Hi");

    // A quote would end the browser's argument; control characters are no part of an address; a token from a
    // hostile answer cannot add parameters.
    EXPECT_EQ(WebmailAddress(account, "a\"b\r\n\x7F\"c"), "https://mail.example.com/zimbra/mail?view=compose&to=a%22b%22c");
    account.bLogin = true;
    account.sAuthToken = "0_ab&redirectURL=http://evil.example/";
    EXPECT_EQ(WebmailAddress(account, "a\"b\r\n"),
              "https://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab%26redirectURL%3Dhttp%3A%2F%2Fevil."
              "example%2F&redirectURL=/zimbra/mail%3Fview=compose%26to=a%22b");
}

// Whatever the link holds, the address goes to the configured server's redirect and carries only the five
// fields of a new message, each escaped whole.
TEST(SingleSignOnAddress, OnlyTheComposeFieldsPassEachEscapedWhole)
{
    const std::string sLong(100000, 'x');
    const struct
    {
        std::string sTo;
        std::string sQuery;
    } cases[] = {
        {"", ""},
        {"someone@example.org&subject=Hi", "&view=compose&to=someone%40example.org&subject=Hi"},
        {"a@x.com&SUBJECT=50%25 off&Body=line%0D%0Anext+1",
         "&view=compose&to=a%40x.com&subject=50%25%20off&body=line%0D%0Anext%2B1"},
        {"a@x.com&authtoken=stolen&redirectURL=http://evil.example/&view=list&isredirect=0",
         "&view=compose&to=a%40x.com"},
        {"javascript:alert(1)", "&view=compose&to=javascript%3Aalert%281%29"},
        {"\"a\" --new-window http://evil.example", "&view=compose&to=%22a%22%20--new-window%20http%3A%2F%2Fevil.example"},
        {"a@x.com&cc=b@x.com&to=c@x.com&cc=d@x.com&subject=1&subject=2",
         "&view=compose&to=a%40x.com%2Cc%40x.com&cc=b%40x.com%2Cd%40x.com&subject=1"},
        {"&subject=no address&bcc=", "&view=compose&subject=no%20address"},
        {std::string("a\0b\xFF%00%zz%4", 13), "&view=compose&to=ab%FF%25zz%254"},
        {"#frag&to&=x", "&view=compose&to=%23frag"},
        {sLong, "&view=compose&to=" + sLong},
    };
    WebmailAccount account = LoggedIn();
    account.bSsl = true;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.sTo.substr(0, 60));
        EXPECT_EQ(SingleSignOnAddress(account, "0_fresh", c.sTo),
                  "https://mail.example.com/service/preauth?isredirect=1&authtoken=0_fresh" + c.sQuery);
    }
}

// The browser logs in with a token of its own when one can be had, so that the redirect spends that one and
// not the program's; otherwise the program's own goes, as before.
TEST(AbreZimbra, TheBrowserLogsInWithATokenOfItsOwn)
{
    struct Case
    {
        const char* sWhat;
        std::optional<std::string> sFresh;
        bool bLogin;
        bool bWindowOpen;
        const char* sTo;
        int nLogins;
        const char* sOpened; // empty: nothing opened
    };
    const Case cases[] = {
        {"a fresh token", "0_fresh", true, false, "", 1,
         "http://mail.example.com/service/preauth?isredirect=1&authtoken=0_fresh"},
        {"a fresh token, composing", "0_fresh", true, true, "bob@example.com", 1,
         "http://mail.example.com/service/preauth?isredirect=1&authtoken=0_fresh&view=compose&to=bob%40example.com"},
        {"no login to be had", std::nullopt, true, false, "",  1,
         "http://mail.example.com/service/preauth?isredirect=1&authtoken=0_ab&redirectURL=http://mail.example.com/"
         "zimbra/mail"},
        {"an open window is reused without a login", "0_fresh", true, true, "", 0, ""},
        {"no single sign-on", "0_fresh", false, false, "", 0, "http://mail.example.com/zimbra/mail"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sWhat);
        Browsing machine;
        auto& [shell, clock, timers, desktop, web] = machine;
        if (c.bWindowOpen)
            desktop.Add("MozillaWindowClass", "Zimbra: Inbox - Mozilla Firefox");
        WebmailAccount account = LoggedIn();
        account.bLogin = c.bLogin;
        int nLogins = 0;
        web.fnBrowserToken = [&] {
            if (++nLogins == 1) // a click that arrives while the login waits is the same opening
            {
                EXPECT_TRUE(web.AbreZimbra(account, c.sTo));
            }
            return c.sFresh;
        };
        ASSERT_TRUE(web.AbreZimbra(account, c.sTo));
        ASSERT_TRUE(web.AbreZimbra(account, c.sTo)); // the double click's second half
        EXPECT_EQ(nLogins, c.nLogins);
        EXPECT_EQ(shell.Opened, *c.sOpened ? std::vector<std::string>{c.sOpened} : std::vector<std::string>{});
    }
}

TEST(AbreZimbra, AShellThatCannotOpenIsToldToTheUser)
{
    Browsing machine;
    auto& [shell, clock, timers, desktop, web] = machine;
    std::vector<std::string> shown;
    web.fnShowError = [&](const std::string& sText) { shown.push_back(sText); };
    shell.sFailure = "Application not found";
    ASSERT_TRUE(web.AbreZimbra(LoggedIn(), ""));
    EXPECT_EQ(shown, std::vector<std::string>{"Error 1001: Application not found\r\nEntrada:vbShellExecute"});
    EXPECT_FALSE(timers.Armed.count(TimerId::Browser)); // no browser to bring forward
}

// The desktops a browser leaves open, each with the window the search must return (0: none).
TEST(FindWebmailWindow, EachKindOfBrowserWindow)
{
    using Desktop = fake::FakeWindowTree;
    struct Case
    {
        const char* sWhat;
        std::function<WindowId(Desktop&)> fnBuild; // returns the expected window
    };
    const Case cases[] = {
        {"no browser", [](Desktop&) -> WindowId { return 0; }},
        {"a frame titled itself, with a child",
         [](Desktop& d) {
             const WindowId nFrame = d.Add("IEFrame", "Zimbra: Inbox - Windows Internet Explorer");
             d.Add("Shell DocObject View", "", nFrame);
             return nFrame;
         }},
        {"a frame without children is skipped", [](Desktop& d) -> WindowId {
             d.Add("IEFrame", "Zimbra: Inbox");
             return 0;
         }},
        {"Chrome's own title does not count; its child's does",
         [](Desktop& d) {
             const WindowId nFrame = d.Add("Chrome_WidgetWin_0", "Zimbra: Inbox - Google Chrome");
             return d.Add("Chrome_RenderWidgetHostHWND", "Zimbra: Inbox", nFrame);
         }},
        {"a tab child gives its frame",
         [](Desktop& d) {
             const WindowId nFrame = d.Add("Chrome_WindowImpl_0", "Something else");
             d.Add("TabWindowClass", "Zimbra: Inbox", nFrame);
             return nFrame;
         }},
        {"a title inside a Frame Tab gives the frame",
         [](Desktop& d) {
             const WindowId nFrame = d.Add("IEFrame", "Windows Internet Explorer");
             const WindowId nTab = d.Add("Frame Tab", "", nFrame);
             d.Add("TabWindowClass", "Zimbra: Calendar", nTab);
             return nFrame;
         }},
        {"Firefox needs no children",
         [](Desktop& d) { return d.Add("MozillaWindowClass", "Zimbra: Inbox - Mozilla Firefox"); }},
        {"the class order decides, not the window order",
         [](Desktop& d) {
             d.Add("MozillaWindowClass", "Zimbra: Inbox - Mozilla Firefox");
             return d.Add("MozillaUIWindowClass", "Zimbra: Inbox");
         }},
        {"today's Chrome and Edge, after every older class",
         [](Desktop& d) {
             const WindowId nFrame = d.Add("Chrome_WidgetWin_1", "Zimbra: Inbox (3) - Google Chrome");
             d.Add("Chrome_RenderWidgetHostHWND", "Chrome Legacy Window", nFrame);
             return nFrame;
         }},
        {"another page in today's Edge", [](Desktop& d) -> WindowId {
             d.Add("Chrome_WidgetWin_1", "News - Microsoft Edge");
             return 0;
         }},
        {"Zimbra without its colon", [](Desktop& d) -> WindowId {
             d.Add("MozillaWindowClass", "Zimbra Web Client Sign In");
             return 0;
         }},
    };
    for (const Case& c : cases)
    {
        Desktop desktop;
        const WindowId nExpected = c.fnBuild(desktop);
        EXPECT_EQ(FindWebmailWindow(desktop), nExpected) << c.sWhat;
    }
}

TEST(BrowserForeground, TheDefaultBrowsersWindowComesForward)
{
    struct Case
    {
        const char* sCommand;
        const char* sClass;
        bool bChild;
        bool bFound;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Mozilla Firefox\\FIREFOX.EXE\" -osint -url \"%1\"", "MozillaWindowClass", false, true},
        {"\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" -- \"%1\"", "Chrome_WidgetWin_1", true, true},
        {"\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" -- \"%1\"", "Chrome_WidgetWin_1", false, false},
        {"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1", "IEFrame", true, true},
        {"\"C:\\Program Files\\Opera\\opera.exe\" \"%1\"", "Chrome_WidgetWin_1", true, false},
    };
    for (const Case& c : cases)
    {
        Browsing machine;
        auto& [shell, clock, timers, desktop, web] = machine;
        const WindowId nWindow = desktop.Add(c.sClass, "New Tab");
        if (c.bChild)
            desktop.Add("Child", "", nWindow);
        timers.Start(TimerId::Browser, Webmail::nBrowserForegroundMs);
        web.BrowserForegroundTimer(c.sCommand);
        EXPECT_FALSE(timers.Armed.count(TimerId::Browser)) << c.sCommand;
        EXPECT_EQ(desktop.Activated, c.bFound ? std::vector<WindowId>{nWindow} : std::vector<WindowId>{})
            << c.sCommand;
    }
}

TEST(AbreZimbra, APlainOpeningReusesAnOpenWebMailWindowAComposeNever)
{
    Browsing machine;
    auto& [shell, clock, timers, desktop, web] = machine;
    ASSERT_TRUE(web.AbreZimbra(LoggedIn(), ""));
    EXPECT_EQ(shell.Opened.size(), 1u); // nothing open yet: the browser, and half a second later its window
    EXPECT_EQ(timers.Armed.at(TimerId::Browser), 500);

    const WindowId nOpen = desktop.Add("MozillaWindowClass", "Zimbra: Inbox - Mozilla Firefox");
    clock.Advance(3000);
    ASSERT_TRUE(web.AbreZimbra(LoggedIn(), ""));
    EXPECT_EQ(shell.Opened.size(), 1u);
    EXPECT_EQ(desktop.Activated, std::vector<WindowId>{nOpen});
    clock.Advance(3000);
    ASSERT_TRUE(web.AbreZimbra(LoggedIn(), "bob@example.com"));
    EXPECT_EQ(shell.Opened.size(), 2u); // a new message always opens anew

    WebmailAccount named = LoggedIn();
    named.sHost = "compose.example.com"; // the word in the address: every opening starts a browser
    clock.Advance(3000);
    ASSERT_TRUE(web.AbreZimbra(named, ""));
    EXPECT_EQ(shell.Opened.size(), 3u);
}

} // namespace
} // namespace qv
