// The notification-area icon of the main window.
#pragma once

#include <string>

namespace qv
{

class ITray
{
public:
    virtual ~ITray() = default;
    virtual bool Add(const std::string& sTip) = 0; // the window's own icon
    virtual bool Delete() = 0;
    virtual void IconReset() = 0; // back to the window's own icon: the unread state is stale
};

} // namespace qv
