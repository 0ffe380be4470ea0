// In-memory stand-ins for the machine, for tests: they keep state, record what the program did, and can fail.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/fake/FakePacking.h"
#include "platform/fake/FakeShellLinks.h"
#include "platform/fake/FakeSockets.h"

namespace qv::fake
{

class FakeRegistry final : public IRegistry
{
public:
    struct Key
    {
        std::map<std::string, RegValue> Values; // names in lower case: the registry ignores case
    };
    std::map<std::string, Key> Keys; // "root\path" in lower case; creating a key creates its parents
    bool bFailWrites = false;        // a locked-down profile
    // Writes, creations and deletions refused at this key and below it; an empty path refuses the whole hive, as
    // HKEY_LOCAL_MACHINE does to a user who is not an administrator. Reads stay allowed.
    void Refuse(RegRoot nRoot, const std::string& sPath = {});

    bool KeyExists(RegRoot nRoot, const std::string& sPath) override;
    RegValue Read(RegRoot nRoot, const std::string& sPath, const std::string& sName) override;
    bool WriteText(RegRoot nRoot, const std::string& sPath, const std::string& sName, const std::string& sValue,
                   bool bCreateKey) override;
    bool WriteDword(RegRoot nRoot, const std::string& sPath, const std::string& sName, uint32_t nValue) override;
    bool CreateKey(RegRoot nRoot, const std::string& sPath) override;
    bool DeleteKey(RegRoot nRoot, const std::string& sPath) override;
    bool DeleteValue(RegRoot nRoot, const std::string& sPath, const std::string& sName) override;

    // Test conveniences over HKCU.
    void Put(const std::string& sPath, const std::string& sName, const RegValue& value);
    std::string Text(const std::string& sPath, const std::string& sName);
    std::vector<std::string> WriteOrder; // names in the order written, for the order of a save
    // Every key and value, one line each ("hkcu\\key" or "hkcu\\key|name=text"), for comparing whole contents.
    std::vector<std::string> Dump() const;

private:
    static std::string KeyName(RegRoot nRoot, const std::string& sPath);
    bool Refused(const std::string& sKey) const;
    void Create(const std::string& sKey);
    std::vector<std::string> RefusedKeys;
};

struct SentRequest
{
    std::string sMethod, sUrl, sHost, sBody;
};

class FakeSoapTransport final : public ISoapTransport
{
public:
    std::deque<HttpReply> Replies; // consumed in order; when empty, a connection failure
    std::vector<SentRequest> Requests;
    std::function<void()> OnSend; // runs inside the call, as a modal wait would let things happen

    HttpReply Send(const std::string& sMethod, const std::string& sUrl, const std::string& sHost,
                   const std::string& sBody) override;

    static HttpReply Status(long nStatus, std::string sStatusText, std::string sBody = {});
    static HttpReply Ok(std::string sBody) { return Status(200, "OK", std::move(sBody)); }
    static HttpReply Failure(TransportError nError, long nCode, std::string sDescription);
};

struct ShownMessage
{
    std::string sText;
    int nStyle = 0;
    std::string sTitle;
};

class FakeDialogs final : public IDialogs
{
public:
    std::vector<ShownMessage> Shown;
    std::function<void()> OnShow; // runs while the box is up
    int nAnswer = 1;

    int ShowMessageBox(const std::string& sText, int nStyle, const std::string& sTitle) override
    {
        Shown.push_back({sText, nStyle, sTitle});
        if (OnShow)
            OnShow();
        return nAnswer;
    }
    std::vector<ShownMessage> Asked; // the boxes with "don't ask again"
    int nCheckAnswer = -1;
    int ShowMessageBoxCheck(const std::string& sText, int nStyle, const std::string& sTitle, int,
                            const std::string&) override
    {
        Asked.push_back({sText, nStyle, sTitle});
        return nCheckAnswer;
    }
};

// Time stands still until the test moves it; the zone is a table of offsets, each in force from its instant on.
class FakeClock final : public IClock
{
public:
    int64_t nNowUtcMs = 1767225600000; // 2026-01-01 00:00 UTC
    int32_t nOffsetMinutes = 0;        // before the first change
    std::vector<std::pair<int64_t, int32_t>> Changes; // (UTC instant, offset from then on), in order
    int64_t nTickMs = 0;
    int64_t NowUtcMs() override { return nNowUtcMs; }
    int64_t MonotonicMs() override { return nTickMs; }
    int32_t LocalOffsetMinutesAt(int64_t nUtcMs) override
    {
        int32_t nOffset = nOffsetMinutes;
        for (const auto& [nFrom, nThen] : Changes)
            if (nUtcMs >= nFrom)
                nOffset = nThen;
        return nOffset;
    }
    void Advance(int64_t nMs)
    {
        nNowUtcMs += nMs;
        nTickMs += nMs;
    }
};

class FakeLocale final : public ILocale
{
public:
    bool b24Hour = true;
    std::string sDecimal = ".";
    std::string LongTimeText(int nHour, int nMinute, int nSecond) override
    {
        char sText[32];
        if (b24Hour)
            std::snprintf(sText, sizeof sText, "%02d:%02d:%02d", nHour, nMinute, nSecond);
        else
            std::snprintf(sText, sizeof sText, "%d:%02d:%02d %s", (nHour + 11) % 12 + 1, nMinute, nSecond,
                          nHour < 12 ? "AM" : "PM");
        return sText;
    }
    std::string DecimalSeparator() override { return sDecimal; }
};

class FakeTimers final : public ITimers
{
public:
    std::map<TimerId, int64_t> Armed; // id -> milliseconds
    std::vector<std::pair<TimerId, int64_t>> Starts;
    void Start(TimerId nId, int64_t nMs) override
    {
        Armed[nId] = nMs;
        Starts.emplace_back(nId, nMs);
    }
    void Stop(TimerId nId) override { Armed.erase(nId); }
    bool IsArmed(TimerId nId) const { return Armed.count(nId) != 0; }
};

class FakeView final : public IMainView
{
public:
    bool bVisible = false;
    bool bMinimized = false;
    bool bLocked = false;
    bool bEnded = false;
    std::string sTitle = "Quorvel";
    std::vector<Control> Focus;
    int nShows = 0;

    void ShowNormal() override
    {
        bVisible = true;
        bMinimized = false;
        ++nShows;
    }
    void HideMinimized() override
    {
        bVisible = false;
        bMinimized = true;
    }
    bool IsVisible() override { return bVisible; }
    void SetFocus(Control nControl) override { Focus.push_back(nControl); }
    void RefreshControls() override {}
    void SetLocked(bool bLock, const std::string& sCaption) override
    {
        bLocked = bLock;
        sTitle = sCaption;
    }
    void EndProgram() override { bEnded = true; }
    int nAnimations = 0;
    void AnimateToTray() override { ++nAnimations; }
};

// The main icon as the shell sees it: every record handed over, and the menus shown.
class FakeTray final : public ITray
{
public:
    struct Applied
    {
        ShellCommand nCommand = ShellCommand::Add;
        NotifyRecord Record;
    };
    std::vector<Applied> Log;
    bool bShown = false;
    bool bRefuse = false; // no taskbar yet
    std::vector<PopupMenu> Menus;
    MenuCommand nChoice = MenuCommand::None; // what the user picks in the next menu
    std::function<void()> OnMenu;            // runs while the menu is up (a timer's check, say)

    bool Apply(ShellCommand nCommand, const NotifyRecord& record) override
    {
        Log.push_back({nCommand, record});
        if (bRefuse)
            return false;
        bShown = nCommand != ShellCommand::Delete;
        return true;
    }
    MenuCommand ShowMenu(const PopupMenu& menu) override
    {
        Menus.push_back(menu);
        if (OnMenu)
            OnMenu();
        return nChoice;
    }
};

// The main icon as the readers of answers use it.
class FakeMainIcon final : public IMainIcon
{
public:
    struct Announcement
    {
        std::string sMensaje;
        int64_t nSinLeer = 0;
    };
    std::vector<Announcement> Announced;
    int nResets = 0;
    bool bShown = false;

    bool Add() override { return bShown = true; }
    bool Delete() override
    {
        bShown = false;
        return true;
    }
    void IconReset() override { ++nResets; }
    void IconAdd(const std::string& sMensaje, int64_t nSinLeer) override { Announced.push_back({sMensaje, nSinLeer}); }
};

class FakeIntegration final : public IIntegration
{
public:
    int nShortcuts = 0;
    void ApplyShortcuts() override { ++nShortcuts; }
};

// A user who is no administrator, as Wine never is; the tests make one of either kind.
class FakeWinSetup final : public IWinSetup
{
public:
    bool bAdminAccount = false;
    TokenElevation nElevation = TokenElevation::Default;
    std::string sProgramPath = "C:\\Program Files\\Quorvel\\Quorvel.exe";
    std::vector<std::string> Broadcasts;
    bool IsAdminAccount() override { return bAdminAccount; }
    TokenElevation Elevation() override { return nElevation; }
    std::string ProgramPath() override { return sProgramPath; }
    void BroadcastSettingChange(const std::string& sArea) override { Broadcasts.push_back(sArea); }
};

class FakeSystem final : public ISystem
{
public:
    int nTrims = 0;
    int nSounds = 0;
    void TrimWorkingSet() override { ++nTrims; }
    void PlayNewMailSound() override { ++nSounds; }
    int nBeeps = 0;
    void Beep() override { ++nBeeps; }
};

class FakeShell final : public IShell
{
public:
    std::vector<std::string> Opened;
    int nActivations = 0;
    std::optional<std::string> sFailure; // what the shell answers, when it cannot open
    std::optional<std::string> OpenUrl(const std::string& sUrl) override
    {
        Opened.push_back(sUrl);
        return sFailure;
    }
    void ActivateMainWindow() override { ++nActivations; }
};

// The icons of appointment items: each records what the shell was told.
class FakeItemIcons final : public IItemIcons
{
public:
    struct Shown
    {
        int nTag = 0;
        ShellCommand nCommand = ShellCommand::Add;
        NotifyRecord Record;
    };
    std::vector<Shown> Log;
    int nAlive = 0;
    bool bFailCreate = false;

    std::unique_ptr<ITrayIcon> Create(int nTag) override
    {
        if (bFailCreate)
            return nullptr;
        return std::make_unique<Icon>(*this, nTag);
    }

private:
    class Icon final : public ITrayIcon
    {
    public:
        Icon(FakeItemIcons& owner, int nTag) : Owner(owner), Tag(nTag) { ++Owner.nAlive; }
        ~Icon() override { --Owner.nAlive; }
        bool Apply(ShellCommand nCommand, const NotifyRecord& record) override
        {
            Owner.Log.push_back({Tag, nCommand, record});
            return true;
        }

    private:
        FakeItemIcons& Owner;
        int Tag;
    };
};

// A desktop of windows written by the test: classes, titles, children and the order of the top-level ones.
class FakeWindowTree final : public IWindowTree
{
public:
    struct Window
    {
        std::string sClass, sTitle;
        std::vector<WindowId> Kids;
    };
    std::map<WindowId, Window> All;
    std::vector<WindowId> Top; // in the system's order
    std::vector<WindowId> Activated;

    WindowId Add(const std::string& sClass, const std::string& sTitle, WindowId nParent = 0)
    {
        const WindowId nId = All.size() + 1;
        All[nId] = {sClass, sTitle, {}};
        (nParent ? All[nParent].Kids : Top).push_back(nId);
        return nId;
    }
    std::vector<WindowId> TopLevel(const std::string& sClass) override
    {
        std::vector<WindowId> found;
        for (const WindowId nId : Top)
            if (All[nId].sClass == sClass)
                found.push_back(nId);
        return found;
    }
    std::vector<WindowId> Children(WindowId nWindow) override { return All[nWindow].Kids; }
    std::string Title(WindowId nWindow) override { return All[nWindow].sTitle; }
    std::string ClassName(WindowId nWindow) override { return All[nWindow].sClass; }
    void Activate(WindowId nWindow) override { Activated.push_back(nWindow); }
};

// One of each, bundled the way WinMain bundles the real ones.
struct FakeMachine
{
    FakeRegistry Registry;
    FakeSoapTransport Soap;
    FakeDialogs Dialogs;
    FakeClock Clock;
    FakeLocale Locale;
    FakeTimers Timers;
    FakeView View;
    FakeTray Tray;
    FakeIntegration Integration;
    FakeSystem System;
    FakeShell Shell;
    FakeItemIcons ItemIcons;
    FakeWindowTree Windows;
    FakeWinSetup WinSetup;
    FakeSockets Sockets;
    FakeTls Tls;
    FakeFiles Files;
    FakeProcesses Processes;
    FakeKeyboard Keyboard;
    FakeShellLinks ShellLinks;
    Platform Bundle{.Registry = Registry,
                    .Soap = Soap,
                    .Dialogs = Dialogs,
                    .Clock = Clock,
                    .Locale = Locale,
                    .Timers = Timers,
                    .View = View,
                    .Tray = Tray,
                    .Integration = Integration,
                    .System = System,
                    .Shell = Shell,
                    .ItemIcons = ItemIcons,
                    .Windows = Windows,
                    .WinSetup = WinSetup,
                    .Sockets = Sockets,
                    .Tls = Tls,
                    .Files = Files,
                    .Processes = Processes,
                    .Keyboard = Keyboard,
                    .ShellLinks = ShellLinks};
};

} // namespace qv::fake
