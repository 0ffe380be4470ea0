// The notification-area icon of the main window.
#pragma once

#include <memory>
#include <string>

#include "presentation/TrayModel.h"

namespace qv
{

class ITray
{
public:
    virtual ~ITray() = default;
    virtual bool Add() = 0; // the window's own icon and the default tooltip
    virtual bool Delete() = 0;
    virtual void IconReset() = 0; // back to the window's own icon and tip
    // The announcement: the first line is the balloon's title, the rest its text; the new-mail icon and tip
    // only when nSinLeer is at least 1.
    virtual void IconAdd(const std::string& sMensaje, int nSinLeer) = 0;
    // The tray menu at the mouse position.
    virtual void ShowMenu() = 0;
};

// The icon of one appointment item: its own hidden window and notification-area icon. Destroying it removes
// both; its events reach the main window through the relay with the item's position.
class IItemIcon
{
public:
    virtual ~IItemIcon() = default;
    virtual bool Apply(ShellCommand nCommand, const NotifyRecord& record) = 0;
};

class IItemIcons
{
public:
    virtual ~IItemIcons() = default;
    virtual std::unique_ptr<IItemIcon> Create(int nTag) = 0;
};

} // namespace qv
