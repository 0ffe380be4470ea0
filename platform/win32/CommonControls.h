// The common controls (version 6, themed) only where the program uses them: the settings window and message
// boxes. In the process's own manifest they would come with the first window of any kind, the hidden icon windows
// too, and cost most of a megabyte in a program that mostly never shows a window.
#pragma once

#include "platform/win32/Win32.h"

namespace qv::win32
{

// Activates the version 6 context for the scope: controls created meanwhile keep it.
class CommonControlsScope
{
public:
    CommonControlsScope();
    ~CommonControlsScope();
    CommonControlsScope(const CommonControlsScope&) = delete;
    CommonControlsScope& operator=(const CommonControlsScope&) = delete;

private:
    ULONG_PTR nCookie = 0;
    bool bActive = false;
};

// Loads the library in that context and registers the classes the settings window uses.
void InitCommonControlsOnce();

} // namespace qv::win32
