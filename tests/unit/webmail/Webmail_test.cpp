#include "webmail/Webmail.h"

#include <gtest/gtest.h>

#include "platform/fake/Fakes.h"
#include "webmail/BrowserWindows.h"

namespace qv
{
namespace
{

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
        fake::FakeShell shell;
        fake::FakeClock clock;
        fake::FakeTimers timers;
        fake::FakeWindowTree desktop;
        const WindowId nWindow = desktop.Add(c.sClass, "New Tab");
        if (c.bChild)
            desktop.Add("Child", "", nWindow);
        Webmail web(shell, clock, desktop, timers);
        timers.Start(TimerId::Browser, Webmail::nBrowserForegroundMs);
        web.BrowserForegroundTimer(c.sCommand);
        EXPECT_FALSE(timers.Armed.count(TimerId::Browser)) << c.sCommand;
        EXPECT_EQ(desktop.Activated, c.bFound ? std::vector<WindowId>{nWindow} : std::vector<WindowId>{})
            << c.sCommand;
    }
}

TEST(AbreZimbra, APlainOpeningReusesAnOpenWebMailWindowAComposeNever)
{
    fake::FakeShell shell;
    fake::FakeClock clock;
    fake::FakeTimers timers;
    fake::FakeWindowTree desktop;
    Webmail web(shell, clock, desktop, timers);
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
