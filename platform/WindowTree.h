// The desktop's top-level windows and their children, as far as finding an open web-mail window needs: classes
// and titles only. No browser is driven or asked anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv
{

using WindowId = uintptr_t; // 0: none

class IWindowTree
{
public:
    virtual ~IWindowTree() = default;
    // The top-level windows of a class, in the system's order (each search starting after the previous hit).
    virtual std::vector<WindowId> TopLevel(const std::string& sClass) = 0;
    // The direct children of a window, in order.
    virtual std::vector<WindowId> Children(WindowId nWindow) = 0;
    virtual std::string Title(WindowId nWindow) = 0;
    virtual std::string ClassName(WindowId nWindow) = 0;
    // Forces the window to the foreground even when this program is not the foreground one, restoring it when
    // minimised.
    virtual void Activate(WindowId nWindow) = 0;
};

} // namespace qv
