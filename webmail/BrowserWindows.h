// Finding a browser window that already shows the web mail, and the default browser's window, by their classes
// and titles.
#pragma once

#include <string>
#include <vector>

#include "platform/WindowTree.h"

namespace qv
{

// Contains "Zimbra:" and not "- Google Chrome" (both exact); an empty title is none.
bool IsWebmailTitle(const std::string& sTitle);
// The class name as the system gives it in 255 characters, containing the text (exact).
bool ClassNameContains(IWindowTree& windows, WindowId nWindow, const std::string& sText);

// The first web-mail window of the known browsers, in their order; 0 when none is open.
WindowId FindWebmailWindow(IWindowTree& windows);

// The window classes of the default browser named in its open command ("chrome.exe", "firefox.exe",
// "iexplore.exe", then "msedge.exe"; letter case ignored), in the order to search them; none for another browser.
std::vector<std::string> DefaultBrowserClasses(const std::string& sOpenCommand);
// The first top-level window of those classes with a child window (Firefox's without one too); 0 when none.
WindowId FindBrowserWindow(IWindowTree& windows, const std::vector<std::string>& classes);

} // namespace qv
