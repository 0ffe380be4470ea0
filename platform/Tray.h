// The notification-area icons: the shell's side (records in, events out) and what the core announces through
// the main icon.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Menu.h"
#include "platform/TrayEvents.h"
#include "platform/TrayRecord.h"

namespace qv
{

// One icon in the notification area with its own hidden window. Destroying it removes both.
class ITrayIcon
{
public:
    virtual ~ITrayIcon() = default;
    // Hands the record to the shell; false when the shell refused it (no taskbar yet).
    virtual bool Apply(ShellCommand nCommand, const NotifyRecord& record) = 0;
};

// The main icon, which also shows the tray menu.
class ITray : public ITrayIcon
{
public:
    // At the mouse position; the chosen command, or None when the menu was dismissed.
    virtual MenuCommand ShowMenu(const PopupMenu& menu) = 0;
};

// The icons of appointment items; their events reach the program with the item's position.
class IItemIcons
{
public:
    virtual ~IItemIcons() = default;
    virtual std::unique_ptr<ITrayIcon> Create(int nTag) = 0;
};

// What the icons' hidden windows report.
class ITrayEvents
{
public:
    virtual ~ITrayEvents() = default;
    virtual void OnTrayEvent(const TrayEvent& event) = 0;
    virtual void OnItemTrayEvent(int nTag, const TrayEvent& event) = 0;
    // A menu command, chosen in the menu or posted to the hidden window.
    virtual void OnMenuCommand(MenuCommand nCommand) = 0;
    // Windows ends the session: save now, once, before the process may be ended.
    virtual void OnEndSession() = 0;
};

// The main icon as the readers of answers use it.
class IMainIcon
{
public:
    virtual ~IMainIcon() = default;
    virtual bool Add() = 0; // the window's own icon and the default tooltip
    virtual bool Delete() = 0;
    virtual void IconReset() = 0; // back to the window's own icon and tip
    // The announcement: the first line is the balloon's title, the rest its text; the new-mail icon and tip
    // only when nSinLeer is at least 1.
    virtual void IconAdd(const std::string& sMensaje, int64_t nSinLeer) = 0;
};

} // namespace qv
