#include "webmail/BrowserWindows.h"

#include "platform/Text.h"

namespace qv
{

namespace
{

enum class Frame { WithChildren, TitleOnly, Current };

struct BrowserClass
{
    const char* sClass;
    Frame nKind;
};

// The order decides between several open browsers. The last one adds today's Chrome and Edge, whose frames are
// titled "Zimbra: Inbox - Google Chrome" (or "- Microsoft Edge") and whose children carry no title: searched
// after every other class, it only adds matches.
constexpr BrowserClass Classes[] = {
    {"Chrome_WindowImpl_0", Frame::WithChildren}, {"Chrome_WidgetWin_0", Frame::WithChildren},
    {"MozillaUIWindowClass", Frame::TitleOnly},   {"IEFrame", Frame::WithChildren},
    {"MozillaWindowClass", Frame::TitleOnly},     {"Chrome_WidgetWin_1", Frame::Current},
};

constexpr size_t nClassNameCharacters = 255;

WindowId SearchFrame(IWindowTree& windows, WindowId nFrame)
{
    const std::vector<WindowId> children = windows.Children(nFrame);
    if (children.empty())
        return 0;
    if (IsWebmailTitle(windows.Title(nFrame)))
        return nFrame;
    for (const WindowId nChild : children)
    {
        if (IsWebmailTitle(windows.Title(nChild)))
            return ClassNameContains(windows, nChild, "TabWindowClass") ? nFrame : nChild;
        if (ClassNameContains(windows, nChild, "Frame Tab"))
            for (const WindowId nTab : windows.Children(nChild))
                if (IsWebmailTitle(windows.Title(nTab)))
                    return nFrame;
    }
    return 0;
}

} // namespace

bool IsWebmailTitle(const std::string& sTitle)
{
    return sTitle.find("Zimbra:") != std::string::npos && sTitle.find("- Google Chrome") == std::string::npos;
}

bool ClassNameContains(IWindowTree& windows, WindowId nWindow, const std::string& sText)
{
    const std::u32string sClass = DecodeUtf8(windows.ClassName(nWindow));
    return EncodeUtf8(sClass.substr(0, nClassNameCharacters)).find(sText) != std::string::npos;
}

WindowId FindWebmailWindow(IWindowTree& windows)
{
    for (const BrowserClass& browser : Classes)
        for (const WindowId nWindow : windows.TopLevel(browser.sClass))
        {
            WindowId nFound = 0;
            switch (browser.nKind)
            {
            case Frame::TitleOnly: nFound = IsWebmailTitle(windows.Title(nWindow)) ? nWindow : 0; break;
            case Frame::WithChildren: nFound = SearchFrame(windows, nWindow); break;
            case Frame::Current:
                nFound = windows.Title(nWindow).find("Zimbra:") != std::string::npos ? nWindow : 0;
                break;
            }
            if (nFound != 0)
                return nFound;
        }
    return 0;
}

std::vector<std::string> DefaultBrowserClasses(const std::string& sOpenCommand)
{
    // Today's Chrome frames are of the second class; Edge's are too. Both come after what older ones used.
    const std::pair<const char*, std::vector<std::string>> browsers[] = {
        {"chrome.exe", {"Chrome_WidgetWin_0", "Chrome_WidgetWin_1"}},
        {"firefox.exe", {"MozillaWindowClass"}},
        {"iexplore.exe", {"IEFrame"}},
        {"msedge.exe", {"Chrome_WidgetWin_1"}},
    };
    for (const auto& [sProgram, classes] : browsers)
        if (ContainsNoCase(sOpenCommand, sProgram))
            return classes;
    return {};
}

WindowId FindBrowserWindow(IWindowTree& windows, const std::vector<std::string>& classes)
{
    for (const std::string& sClass : classes)
        for (const WindowId nWindow : windows.TopLevel(sClass))
            if (sClass == "MozillaWindowClass" || !windows.Children(nWindow).empty())
                return nWindow;
    return 0;
}

} // namespace qv
