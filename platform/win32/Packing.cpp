#include "platform/win32/Packing.h"

#include "platform/win32/Win32.h"

#include <shellapi.h>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/ProgramFile.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

namespace
{

// Every message waiting now; a quit is put back for the main loop, which ends the program after this wait.
void PumpMessages()
{
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

} // namespace

std::string Win32Processes::ProgramFolder()
{
    return Utf8(ProgramFolderW());
}

ProcessRun Win32Processes::RunAndWait(const std::string& sProgram, const std::string& sParameters,
                                      const std::string& sFolder)
{
    const std::wstring sFile = Utf16(sProgram), sArguments = Utf16(sParameters), sDirectory = Utf16(sFolder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = sFile.c_str();
    info.lpParameters = sArguments.c_str();
    info.lpDirectory = sDirectory.empty() ? nullptr : sDirectory.c_str();
    info.nShow = SW_SHOWNORMAL;
    ProcessRun run;
    if (!::ShellExecuteExW(&info) || !info.hProcess)
    {
        run.nSystemCode = static_cast<long>(::GetLastError());
        return run;
    }
    const UniqueKernelHandle hProcess(info.hProcess);
    run.bStarted = true;
    for (;;)
    {
        const DWORD nWait = ::MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (nWait == WAIT_OBJECT_0)
            break;
        if (nWait != WAIT_OBJECT_0 + 1)
        {
            run.nSystemCode = static_cast<long>(::GetLastError());
            run.nExitCode = nWait;
            return run;
        }
        PumpMessages();
    }
    DWORD nExit = 0;
    if (!::GetExitCodeProcess(hProcess.get(), &nExit))
        nExit = static_cast<DWORD>(-1);
    run.nExitCode = nExit;
    return run;
}

bool Win32Keyboard::IsShiftDown()
{
    return (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

} // namespace qv::win32
