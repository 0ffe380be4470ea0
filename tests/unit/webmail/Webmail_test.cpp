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
    EXPECT_EQ(WebmailAddress(account, "a\"b\r\n\x7F\"c"),
              "https://mail.example.com/zimbra/mail?view=compose&to=a%22b%22c");
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
    const std::pair<std::string, std::string> cases[] = {
        // the link's fields, and the query made of them
        {"", ""},
        {"someone@example.org&subject=Hi", "&view=compose&to=someone%40example.org&subject=Hi"},
        {"a@x.com&SUBJECT=50%25 off&Body=line%0D%0Anext+1",
         "&view=compose&to=a%40x.com&subject=50%25%20off&body=line%0D%0Anext%2B1"},
        {"a@x.com&authtoken=stolen&redirectURL=http://evil.example/&view=list&isredirect=0",
         "&view=compose&to=a%40x.com"},
        {"javascript:alert(1)", "&view=compose&to=javascript%3Aalert%281%29"},
        {"\"a\" --new-window http://evil.example",
         "&view=compose&to=%22a%22%20--new-window%20http%3A%2F%2Fevil.example"},
        {"a@x.com&cc=b@x.com&to=c@x.com&cc=d@x.com&subject=1&subject=2",
         "&view=compose&to=a%40x.com%2Cc%40x.com&cc=b%40x.com%2Cd%40x.com&subject=1"},
        {"&subject=no address&bcc=", "&view=compose&subject=no%20address"},
        {std::string("a\0b\xFF%00%zz%4", 13), "&view=compose&to=ab%FF%25zz%254"},
        {"#frag&to&=x", "&view=compose&to=%23frag"},
        {sLong, "&view=compose&to=" + sLong},
    };
    WebmailAccount account = LoggedIn();
    account.bSsl = true;
    for (const auto& [sTo, sQuery] : cases)
        EXPECT_EQ(SingleSignOnAddress(account, "0_fresh", sTo),
                  "https://mail.example.com/service/preauth?isredirect=1&authtoken=0_fresh" + sQuery)
            << sTo.substr(0, 60);
}

// The browser logs in with a token of its own when one can be had, so that the redirect spends that one and
// not the program's; otherwise the program's own goes, as before.
TEST(AbreZimbra, TheBrowserLogsInWithATokenOfItsOwn)
{
    // The browser's own token, if any; single sign-on; a web-mail window open; the address; the logins asked for,
    // and what is opened (empty: nothing).
    const std::string sPreauth = "http://mail.example.com/service/preauth?isredirect=1&authtoken=";
    const std::tuple<const char*, std::optional<std::string>, bool, bool, const char*, int, std::string> cases[] = {
        {"a fresh token", "0_fresh", true, false, "", 1, sPreauth + "0_fresh"},
        {"a fresh token, composing", "0_fresh", true, true, "bob@example.com", 1,
         sPreauth + "0_fresh&view=compose&to=bob%40example.com"},
        {"no login to be had", std::nullopt, true, false, "", 1,
         sPreauth + "0_ab&redirectURL=http://mail.example.com/zimbra/mail"},
        {"an open window is reused without a login", "0_fresh", true, true, "", 0, ""},
        {"no single sign-on", "0_fresh", false, false, "", 0, "http://mail.example.com/zimbra/mail"},
    };
    for (const auto& [sWhat, sFresh, bLogin, bWindowOpen, sTo, nLogins, sOpened] : cases)
    {
        SCOPED_TRACE(sWhat);
        Browsing machine;
        auto& [shell, clock, timers, desktop, web] = machine;
        if (bWindowOpen)
            desktop.Add("MozillaWindowClass", "Zimbra: Inbox - Mozilla Firefox");
        WebmailAccount account = LoggedIn();
        account.bLogin = bLogin;
        int nAsked = 0;
        web.fnBrowserToken = [&, sTo = sTo, sFresh = sFresh] {
            if (++nAsked == 1) // a click that arrives while the login waits is the same opening
            {
                EXPECT_TRUE(web.AbreZimbra(account, sTo));
            }
            return sFresh;
        };
        ASSERT_TRUE(web.AbreZimbra(account, sTo));
        ASSERT_TRUE(web.AbreZimbra(account, sTo)); // the double click's second half
        EXPECT_EQ(nAsked, nLogins);
        EXPECT_EQ(shell.Opened, sOpened.empty() ? std::vector<std::string>{} : std::vector<std::string>{sOpened});
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

// The desktops a browser leaves open: each window's class, title and parent (0: none; windows are numbered from 1
// in the order added), and the window the search must return (0: none).
TEST(FindWebmailWindow, EachKindOfBrowserWindow)
{
    using Windows = std::vector<std::tuple<const char*, const char*, WindowId>>;
    const char *sIE = "IEFrame", *sFirefox = "MozillaWindowClass", *sTab = "TabWindowClass",
               *sChromeChild = "Chrome_RenderWidgetHostHWND", *sChrome = "Chrome_WidgetWin_1";
    const std::tuple<const char*, Windows, WindowId> cases[] = {
        {"no browser", {}, 0},
        {"a frame titled itself, with a child",
         {{sIE, "Zimbra: Inbox - Windows Internet Explorer", 0}, {"Shell DocObject View", "", 1}},
         1},
        {"a frame without children is skipped", {{sIE, "Zimbra: Inbox", 0}}, 0},
        {"Chrome's own title does not count; its child's does",
         {{"Chrome_WidgetWin_0", "Zimbra: Inbox - Google Chrome", 0}, {sChromeChild, "Zimbra: Inbox", 1}},
         2},
        {"a tab child gives its frame", {{"Chrome_WindowImpl_0", "Something else", 0}, {sTab, "Zimbra: Inbox", 1}}, 1},
        {"a title inside a Frame Tab gives the frame",
         {{sIE, "Windows Internet Explorer", 0}, {"Frame Tab", "", 1}, {sTab, "Zimbra: Calendar", 2}},
         1},
        {"Firefox needs no children", {{sFirefox, "Zimbra: Inbox - Mozilla Firefox", 0}}, 1},
        {"the class order decides, not the window order",
         {{sFirefox, "Zimbra: Inbox - Mozilla Firefox", 0}, {"MozillaUIWindowClass", "Zimbra: Inbox", 0}},
         2},
        {"today's Chrome and Edge, after every older class",
         {{sChrome, "Zimbra: Inbox (3) - Google Chrome", 0}, {sChromeChild, "Chrome Legacy Window", 1}},
         1},
        {"another page in today's Edge", {{sChrome, "News - Microsoft Edge", 0}}, 0},
        {"Zimbra without its colon", {{sFirefox, "Zimbra Web Client Sign In", 0}}, 0},
    };
    for (const auto& [sWhat, windows, nExpected] : cases)
    {
        fake::FakeWindowTree desktop;
        for (const auto& [sClass, sTitle, nParent] : windows)
            desktop.Add(sClass, sTitle, nParent);
        EXPECT_EQ(FindWebmailWindow(desktop), nExpected) << sWhat;
    }
}

TEST(BrowserForeground, TheDefaultBrowsersWindowComesForward)
{
    // The browser's command, the class of its window, whether the window has a child, and whether it comes forward.
    const std::tuple<const char*, const char*, bool, bool> cases[] = {
        {"\"C:\\Program Files\\Mozilla Firefox\\FIREFOX.EXE\" -osint -url \"%1\"", "MozillaWindowClass", false, true},
        {"\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" -- \"%1\"", "Chrome_WidgetWin_1", true, true},
        {"\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" -- \"%1\"", "Chrome_WidgetWin_1", false,
         false},
        {"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1", "IEFrame", true, true},
        {"\"C:\\Program Files\\Opera\\opera.exe\" \"%1\"", "Chrome_WidgetWin_1", true, false},
    };
    for (const auto& [sCommand, sClass, bChild, bFound] : cases)
    {
        SCOPED_TRACE(sCommand);
        Browsing machine;
        const WindowId nWindow = machine.desktop.Add(sClass, "New Tab");
        if (bChild)
            machine.desktop.Add("Child", "", nWindow);
        machine.timers.Start(TimerId::Browser, Webmail::nBrowserForegroundMs);
        machine.web.BrowserForegroundTimer(sCommand);
        EXPECT_FALSE(machine.timers.IsArmed(TimerId::Browser));
        EXPECT_EQ(machine.desktop.Activated, bFound ? std::vector<WindowId>{nWindow} : std::vector<WindowId>{});
    }
}

// A new message always opens anew: the table of the browser's own token has it.
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

    WebmailAccount named = LoggedIn();
    named.sHost = "compose.example.com"; // the word in the address: every opening starts a browser
    clock.Advance(3000);
    ASSERT_TRUE(web.AbreZimbra(named, ""));
    EXPECT_EQ(shell.Opened.size(), 2u);
}

} // namespace
} // namespace qv
