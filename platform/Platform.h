// Everything of the machine the core uses, handed to frmMain as one bundle. Built by name, in this order:
// Platform{.Registry = registry, .Soap = soap, ...}, so that two services of one kind cannot be swapped.
#pragma once

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Integration.h"
#include "platform/MainView.h"
#include "platform/Packing.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/ShellLinks.h"
#include "platform/Sockets.h"
#include "platform/SoapTransport.h"
#include "platform/System.h"
#include "platform/Tray.h"
#include "platform/WinSetup.h"
#include "platform/WindowTree.h"

namespace qv
{

struct Platform
{
    IRegistry& Registry;
    ISoapTransport& Soap;
    IDialogs& Dialogs;
    IClock& Clock;
    ILocale& Locale;
    ITimers& Timers;
    IMainView& View;
    ITray& Tray;
    IIntegration& Integration;
    ISystem& System;
    IShell& Shell;
    IItemIcons& ItemIcons;
    IWindowTree& Windows;
    IWinSetup& WinSetup;
    // The upload: its network, files, packer, Shift key and the shortcuts it resolves.
    ISockets& Sockets;
    ITlsHttp& Tls;
    IFiles& Files;
    IProcesses& Processes;
    IKeyboard& Keyboard;
    IShellLinks& ShellLinks;
};

} // namespace qv
