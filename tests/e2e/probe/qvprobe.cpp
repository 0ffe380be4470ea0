// qvprobe: a console tool the end-to-end tests run under Wine to look at and drive windows on the shared desktop.
// Exit codes: 0 success, 1 not found or false, 2 usage error. Each command prints one short line (the text
// commands print what they read).
#include <windows.h>
// The other Windows headers need the types of windows.h.
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <wincrypt.h>

#include <cwchar>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace
{

constexpr int nExitOk = 0;
constexpr int nExitNo = 1;
constexpr int nExitUsage = 2;
constexpr DWORD nPollMs = 50;
constexpr UINT nSendTimeoutMs = 5000;

void Print(const std::wstring& sText)
{
    const std::wstring sLine = sText + L"\n";
    HANDLE hOut = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD nMode = 0, nWritten = 0;
    if (::GetConsoleMode(hOut, &nMode))
    {
        ::WriteConsoleW(hOut, sLine.c_str(), static_cast<DWORD>(sLine.size()), &nWritten, nullptr);
        return;
    }
    // Redirected to a pipe: the tests read UTF-8.
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, sLine.c_str(), static_cast<int>(sLine.size()), nullptr, 0, nullptr, nullptr);
    std::string sBytes(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, sLine.c_str(), static_cast<int>(sLine.size()), sBytes.data(), nBytes, nullptr,
                          nullptr);
    ::WriteFile(hOut, sBytes.data(), static_cast<DWORD>(sBytes.size()), &nWritten, nullptr);
}

int Usage()
{
    Print(L"usage: qvprobe find|visible|text|child-texts|count CLASS TITLE\n"
          L"       qvprobe wait|wait-gone|wait-visible|wait-hidden CLASS TITLE SECONDS\n"
          L"       qvprobe post|send CLASS TITLE MSG WPARAM LPARAM\n"
          L"       qvprobe send-copydata CLASS TITLE CODE [TEXT]\n"
          L"       qvprobe click CLASS TITLE BUTTONTEXT\n"
          L"       qvprobe msgbox-text | msgbox-click BUTTONTEXT\n"
          L"       qvprobe windows [CLASS] | rect CLASS TITLE | wait-any-visible CLASS SECONDS\n"
          L"       qvprobe visible-texts CLASS | broadcast-registered MESSAGENAME\n"
          L"       qvprobe memory EXE-NAME\n"
          L"       qvprobe owner|kill-owner CLASS TITLE | tray-delete CLASS TITLE ICON-ID\n"
          L"       qvprobe controls CLASS TITLE | wait-focus CLASS TITLE CONTROL-ID SECONDS\n"
          L"       qvprobe type-chars CLASS TITLE CONTROL-ID TEXT | trust-certificate FILE\n"
          L"       qvprobe regvalue HKCU\\KEY|HKLM\\KEY NAME | hold-event NAME SECONDS\n"
          L"CLASS or TITLE \"-\" matches any; CLASS hwnd:0x... names one window; numbers are decimal or 0x hex.");
    return nExitUsage;
}

// Decimal or 0x-prefixed hexadecimal; a leading minus is allowed for decimal. No octal: "010" is ten.
bool ParseNumber(const wchar_t* pText, unsigned long long& nValue)
{
    std::wstring sText = pText;
    bool bNegative = false;
    int nBase = 10;
    size_t nAt = 0;
    if (sText.size() > 2 && sText[0] == L'0' && (sText[1] == L'x' || sText[1] == L'X'))
    {
        nBase = 16;
        nAt = 2;
    }
    else if (!sText.empty() && sText[0] == L'-')
    {
        bNegative = true;
        nAt = 1;
    }
    if (nAt >= sText.size())
        return false;
    unsigned long long n = 0;
    for (; nAt < sText.size(); ++nAt)
    {
        const wchar_t c = sText[nAt];
        unsigned nDigit = 0;
        if (c >= L'0' && c <= L'9')
            nDigit = c - L'0';
        else if (nBase == 16 && c >= L'a' && c <= L'f')
            nDigit = c - L'a' + 10;
        else if (nBase == 16 && c >= L'A' && c <= L'F')
            nDigit = c - L'A' + 10;
        else
            return false;
        n = n * nBase + nDigit;
    }
    nValue = bNegative ? 0 - n : n;
    return true;
}

bool ParseSeconds(const wchar_t* pText, double& dSeconds)
{
    wchar_t* pEnd = nullptr;
    dSeconds = std::wcstod(pText, &pEnd);
    return pEnd != pText && *pEnd == L'\0' && dSeconds >= 0;
}

const wchar_t* AnyOr(const wchar_t* pText)
{
    return std::wcscmp(pText, L"-") == 0 ? nullptr : pText;
}

std::wstring Hex(HWND hWnd)
{
    wchar_t sBuf[32];
    std::swprintf(sBuf, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hWnd)));
    return sBuf;
}

std::wstring ClassOf(HWND hWnd)
{
    wchar_t sBuf[256] = {};
    ::GetClassNameW(hWnd, sBuf, 256);
    return sBuf;
}

// WM_GETTEXT crosses processes (GetWindowText does not ask another process's window), bounded so a hung
// program cannot hang the tool.
std::wstring TextOf(HWND hWnd)
{
    DWORD_PTR nLength = 0;
    if (!::SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, nSendTimeoutMs, &nLength))
    {
        wchar_t sBuf[1024] = {};
        ::GetWindowTextW(hWnd, sBuf, 1024);
        return sBuf;
    }
    std::vector<wchar_t> sBuf(nLength + 2, L'\0');
    DWORD_PTR nCopied = 0;
    if (!::SendMessageTimeoutW(hWnd, WM_GETTEXT, sBuf.size(), reinterpret_cast<LPARAM>(sBuf.data()), SMTO_ABORTIFHUNG,
                               nSendTimeoutMs, &nCopied))
        return {};
    return std::wstring(sBuf.data(), nCopied < sBuf.size() ? nCopied : sBuf.size() - 1);
}

std::wstring OneLine(std::wstring sText)
{
    std::wstring sOut;
    for (wchar_t c : sText)
    {
        if (c == L'\r')
            continue;
        if (c == L'\n')
            sOut += L"\\n";
        else if (c == L'\t')
            sOut += L"\\t";
        else
            sOut += c;
    }
    return sOut;
}

std::wstring WithoutAmpersands(const std::wstring& sText)
{
    std::wstring sOut;
    for (size_t i = 0; i < sText.size(); ++i)
    {
        if (sText[i] == L'&')
        {
            if (i + 1 < sText.size() && sText[i + 1] == L'&')
                sOut += sText[++i];
            continue;
        }
        sOut += sText[i];
    }
    return sOut;
}

// CLASS "hwnd:0x1A2B" names one window among several of the same class and title (the item icons' windows).
HWND FindTop(const wchar_t* pClass, const wchar_t* pTitle)
{
    const std::wstring_view sClass = pClass;
    if (sClass.substr(0, 5) == L"hwnd:")
    {
        unsigned long long nHandle = 0;
        if (!ParseNumber(pClass + 5, nHandle))
            return nullptr;
        HWND hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(nHandle));
        return ::IsWindow(hWnd) ? hWnd : nullptr;
    }
    return ::FindWindowW(AnyOr(pClass), AnyOr(pTitle));
}

// Lines gathered with a line break after each: printed without the last one, or sNone when there are none.
int PrintLines(std::wstring sOut, const std::wstring& sNone)
{
    if (sOut.empty())
    {
        Print(sNone);
        return nExitNo;
    }
    sOut.pop_back();
    Print(sOut);
    return nExitOk;
}

// The window of a command's CLASS TITLE arguments, or nullptr after saying so.
HWND FindTopOrSay(wchar_t** argv)
{
    HWND hWnd = FindTop(argv[0], argv[1]);
    if (!hWnd)
        Print(L"not found");
    return hWnd;
}

std::vector<HWND> FindAllTop(const wchar_t* pClass, const wchar_t* pTitle)
{
    std::vector<HWND> Found;
    HWND hAfter = nullptr;
    while (HWND hWnd = ::FindWindowExW(nullptr, hAfter, AnyOr(pClass), AnyOr(pTitle)))
    {
        Found.push_back(hWnd);
        hAfter = hWnd;
        if (Found.size() > 10000) // a changing window list must not keep the loop going forever
            break;
    }
    return Found;
}

std::vector<HWND> Children(HWND hParent)
{
    std::vector<HWND> Found;
    ::EnumChildWindows(
        hParent,
        [](HWND hWnd, LPARAM lParam) noexcept -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Found));
    return Found;
}

bool IsButton(HWND hWnd)
{
    return ::lstrcmpiW(ClassOf(hWnd).c_str(), L"Button") == 0;
}

HWND FindButton(HWND hParent, const std::wstring& sText)
{
    HWND hLoose = nullptr;
    for (HWND hChild : Children(hParent))
    {
        if (!IsButton(hChild))
            continue;
        const std::wstring sChild = TextOf(hChild);
        if (sChild == sText)
            return hChild;
        // "OK" finds "&OK" too, for message boxes whose captions differ by their mnemonic.
        if (!hLoose && WithoutAmpersands(sChild) == WithoutAmpersands(sText))
            hLoose = hChild;
    }
    return hLoose;
}

// The message box a test is after: a visible top-level dialog of the standard class, the first one if several.
HWND FindMessageBox()
{
    HWND hHidden = nullptr;
    for (HWND hWnd : FindAllTop(L"#32770", L"-"))
    {
        if (::IsWindowVisible(hWnd))
            return hWnd;
        if (!hHidden)
            hHidden = hWnd;
    }
    return hHidden;
}

// Polls until fnDone says so or the time is up; prints the seconds it took either way.
template <typename Fn>
int Poll(double dSeconds, Fn fnDone, const std::wstring& sWhat)
{
    const ULONGLONG nStart = ::GetTickCount64();
    const ULONGLONG nLimit = static_cast<ULONGLONG>(dSeconds * 1000.0);
    for (;;)
    {
        std::wstring sFound;
        const bool bDone = fnDone(sFound);
        const ULONGLONG nElapsed = ::GetTickCount64() - nStart;
        wchar_t sTime[64];
        std::swprintf(sTime, 64, L"%.2f s", nElapsed / 1000.0);
        if (bDone)
        {
            Print(sFound + (sFound.empty() ? L"" : L" ") + L"after " + sTime);
            return nExitOk;
        }
        if (nElapsed >= nLimit)
        {
            Print(L"timeout: " + sWhat + L" after " + sTime);
            return nExitNo;
        }
        ::Sleep(nPollMs);
    }
}

int CmdFind(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    Print(Hex(hWnd));
    return nExitOk;
}

int CmdCount(wchar_t** argv)
{
    const size_t n = FindAllTop(argv[0], argv[1]).size();
    Print(std::to_wstring(n));
    return n ? nExitOk : nExitNo;
}

int CmdWait(wchar_t** argv, bool bGone)
{
    double dSeconds = 0;
    if (!ParseSeconds(argv[2], dSeconds))
        return Usage();
    return Poll(
        dSeconds,
        [&](std::wstring& sFound) {
            HWND hWnd = FindTop(argv[0], argv[1]);
            if (bGone)
                return hWnd == nullptr;
            if (hWnd)
                sFound = Hex(hWnd);
            return hWnd != nullptr;
        },
        bGone ? L"still present" : L"not found");
}

int CmdWaitVisible(wchar_t** argv, bool bVisible)
{
    double dSeconds = 0;
    if (!ParseSeconds(argv[2], dSeconds))
        return Usage();
    return Poll(
        dSeconds,
        [&](std::wstring& sFound) {
            HWND hWnd = FindTop(argv[0], argv[1]);
            if (!hWnd)
                return false;
            sFound = Hex(hWnd);
            return (::IsWindowVisible(hWnd) != FALSE) == bVisible;
        },
        bVisible ? L"not visible" : L"not hidden");
}

int CmdVisible(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    const bool bVisible = ::IsWindowVisible(hWnd) != FALSE;
    Print(bVisible ? L"visible" : L"hidden");
    return bVisible ? nExitOk : nExitNo;
}

int CmdMessage(wchar_t** argv, bool bSend)
{
    unsigned long long nMsg = 0, nWParam = 0, nLParam = 0;
    if (!ParseNumber(argv[2], nMsg) || !ParseNumber(argv[3], nWParam) || !ParseNumber(argv[4], nLParam))
        return Usage();
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    if (!bSend)
    {
        if (!::PostMessageW(hWnd, static_cast<UINT>(nMsg), static_cast<WPARAM>(nWParam), static_cast<LPARAM>(nLParam)))
        {
            Print(L"post failed, error " + std::to_wstring(::GetLastError()));
            return nExitNo;
        }
        Print(L"posted to " + Hex(hWnd));
        return nExitOk;
    }
    DWORD_PTR nResult = 0;
    if (!::SendMessageTimeoutW(hWnd, static_cast<UINT>(nMsg), static_cast<WPARAM>(nWParam),
                               static_cast<LPARAM>(nLParam), SMTO_NORMAL, nSendTimeoutMs, &nResult))
    {
        Print(L"send failed, error " + std::to_wstring(::GetLastError()));
        return nExitNo;
    }
    Print(L"result " + std::to_wstring(static_cast<long long>(nResult)));
    return nExitOk;
}

// Sends what a second copy of the program sends: the text in the ANSI code page and one zero byte, or
// nothing at all when no text is given.
int CmdSendCopyData(int argc, wchar_t** argv)
{
    unsigned long long nCode = 0;
    if (!ParseNumber(argv[2], nCode))
        return Usage();
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    std::string sBytes;
    COPYDATASTRUCT Data = {};
    Data.dwData = static_cast<ULONG_PTR>(nCode);
    if (argc > 3)
    {
        const int nBytes = ::WideCharToMultiByte(CP_ACP, 0, argv[3], -1, nullptr, 0, nullptr, nullptr);
        sBytes.assign(static_cast<size_t>(nBytes), '\0'); // the count includes the zero byte
        ::WideCharToMultiByte(CP_ACP, 0, argv[3], -1, sBytes.data(), nBytes, nullptr, nullptr);
        Data.cbData = static_cast<DWORD>(sBytes.size());
        Data.lpData = sBytes.data();
    }
    DWORD_PTR nResult = 0;
    // The receiver may act inside the message for a while (a check, an upload); the tests bound it anyway.
    if (!::SendMessageTimeoutW(hWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 20000, &nResult))
    {
        Print(L"send failed, error " + std::to_wstring(::GetLastError()));
        return nExitNo;
    }
    Print(L"sent " + std::to_wstring(Data.cbData) + L" bytes to " + Hex(hWnd) + L", result " +
          std::to_wstring(static_cast<long long>(nResult)));
    return nExitOk;
}

// Posted, not sent: a click that opens a modal box would otherwise keep the tool waiting until it closes.
int ClickIn(HWND hParent, const wchar_t* pButton)
{
    HWND hButton = FindButton(hParent, pButton);
    if (!hButton)
    {
        Print(L"no button \"" + std::wstring(pButton) + L"\" in " + Hex(hParent));
        return nExitNo;
    }
    ::PostMessageW(hButton, BM_CLICK, 0, 0);
    Print(L"clicked " + Hex(hButton));
    return nExitOk;
}

int CmdClick(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    return ClickIn(hWnd, argv[2]);
}

int CmdText(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    Print(TextOf(hWnd));
    return nExitOk;
}

// One line a control: class, tab, text (line breaks as \n), tab, its state.
int CmdChildTexts(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    std::wstring sOut;
    for (HWND hChild : Children(hWnd))
    {
        std::wstring sState = ::IsWindowVisible(hChild) ? L"visible" : L"hidden";
        if (!::IsWindowEnabled(hChild))
            sState += L",disabled";
        if (IsButton(hChild))
        {
            DWORD_PTR nCheck = 0;
            if (::SendMessageTimeoutW(hChild, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, nSendTimeoutMs, &nCheck) &&
                nCheck == BST_CHECKED)
                sState += L",checked";
        }
        sOut += ClassOf(hChild) + L"\t" + OneLine(TextOf(hChild)) + L"\t" + sState + L"\n";
    }
    if (!sOut.empty())
        sOut.pop_back();
    Print(sOut);
    return nExitOk;
}

// First line the box's title, then its message text as it reads.
int CmdMsgBoxText()
{
    HWND hBox = FindMessageBox();
    if (!hBox)
    {
        Print(L"no message box");
        return nExitNo;
    }
    std::wstring sOut = TextOf(hBox);
    for (HWND hChild : Children(hBox))
    {
        if (::lstrcmpiW(ClassOf(hChild).c_str(), L"Static") != 0)
            continue;
        const std::wstring sText = TextOf(hChild);
        if (!sText.empty()) // the icon is a static control without text
            sOut += L"\n" + sText;
    }
    Print(sOut);
    return nExitOk;
}

int CmdMsgBoxClick(const wchar_t* pButton)
{
    HWND hBox = FindMessageBox();
    if (!hBox)
    {
        Print(L"no message box");
        return nExitNo;
    }
    return ClickIn(hBox, pButton);
}

std::wstring RectText(const RECT& rc)
{
    wchar_t sBuf[96];
    std::swprintf(sBuf, 96, L"%ld,%ld,%ld,%ld", rc.left, rc.top, rc.right, rc.bottom);
    return sBuf;
}

// One line a top-level window: handle, class, title, visible or hidden, and its screen rectangle
// (left,top,right,bottom), for a test to see what is on the desktop.
int CmdWindows(int nArgs, wchar_t** argv)
{
    const wchar_t* pClass = nArgs > 0 ? argv[0] : L"-";
    std::wstring sOut;
    for (HWND hWnd : FindAllTop(pClass, L"-"))
    {
        RECT rc{};
        ::GetWindowRect(hWnd, &rc);
        sOut += Hex(hWnd) + L"\t" + ClassOf(hWnd) + L"\t" + OneLine(TextOf(hWnd)) + L"\t" +
                (::IsWindowVisible(hWnd) ? L"visible" : L"hidden") + L"\t" + RectText(rc) + L"\n";
    }
    return PrintLines(sOut, L"none");
}

int CmdRect(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    Print(RectText(rc));
    return nExitOk;
}

// Any visible top-level window of the class (several may exist, some hidden: menus, tooltips).
int CmdWaitAnyVisible(wchar_t** argv)
{
    double dSeconds = 0;
    if (!ParseSeconds(argv[1], dSeconds))
        return Usage();
    return Poll(
        dSeconds,
        [&](std::wstring& sFound) {
            for (HWND hWnd : FindAllTop(argv[0], L"-"))
            {
                if (!::IsWindowVisible(hWnd))
                    continue;
                RECT rc{};
                ::GetWindowRect(hWnd, &rc);
                sFound = Hex(hWnd) + L" " + RectText(rc);
                return true;
            }
            return false;
        },
        L"no visible window");
}

// The text of every visible top-level window of the class, one a line after its handle and a tab, with each
// UTF-16 unit outside printable ASCII written \uXXXX: a test sees exactly what the window holds, a lone
// surrogate included.
int CmdVisibleTexts(const wchar_t* pClass)
{
    std::wstring sOut;
    for (HWND hWnd : FindAllTop(pClass, L"-"))
    {
        if (!::IsWindowVisible(hWnd))
            continue;
        sOut += Hex(hWnd) + L"\t";
        for (wchar_t c : TextOf(hWnd))
        {
            if (c >= 0x20 && c < 0x7F && c != L'\\')
            {
                sOut += c;
                continue;
            }
            wchar_t sUnit[8];
            std::swprintf(sUnit, 8, L"\\u%04x", static_cast<unsigned>(c));
            sOut += sUnit;
        }
        sOut += L"\n";
    }
    return PrintLines(sOut, L"none");
}

// What the shell does when it (re)starts: a registered message posted to every top-level window.
int CmdBroadcastRegistered(const wchar_t* pName)
{
    const UINT nMsg = ::RegisterWindowMessageW(pName);
    if (nMsg == 0 || !::PostMessageW(HWND_BROADCAST, nMsg, 0, 0))
    {
        Print(L"broadcast failed, error " + std::to_wstring(::GetLastError()));
        return nExitNo;
    }
    wchar_t sBuf[32];
    std::swprintf(sBuf, 32, L"0x%04x", nMsg);
    Print(L"broadcast " + std::wstring(sBuf));
    return nExitOk;
}

// The memory figures of every process with that file name, one line each, read from outside as a task
// manager does. Under Wine PrivateUsage of another process reads 0; PagefileUsage is the same figure.
int CmdMemory(const wchar_t* pExeName)
{
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
    {
        Print(L"no process snapshot, error " + std::to_wstring(::GetLastError()));
        return nExitNo;
    }
    std::wstring sOut;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = ::Process32FirstW(hSnapshot, &entry); bMore; bMore = ::Process32NextW(hSnapshot, &entry))
    {
        if (::lstrcmpiW(entry.szExeFile, pExeName) != 0)
            continue;
        HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
        if (!hProcess)
        {
            sOut += L"pid " + std::to_wstring(entry.th32ProcessID) + L" not opened, error " +
                    std::to_wstring(::GetLastError()) + L"\n";
            continue;
        }
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (::GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        {
            sOut += L"pid " + std::to_wstring(entry.th32ProcessID) + L" pagefile " +
                    std::to_wstring(counters.PagefileUsage) + L" workingset " +
                    std::to_wstring(counters.WorkingSetSize) + L" peakworkingset " +
                    std::to_wstring(counters.PeakWorkingSetSize) + L" private " +
                    std::to_wstring(counters.PrivateUsage) + L"\n";
        }
        else
        {
            sOut += L"pid " + std::to_wstring(entry.th32ProcessID) + L" no counters, error " +
                    std::to_wstring(::GetLastError()) + L"\n";
        }
        ::CloseHandle(hProcess);
    }
    ::CloseHandle(hSnapshot);
    return PrintLines(sOut, L"no process " + std::wstring(pExeName));
}

// Ends the process that owns the window, as a crash would: the shell's restart is tested this way.
// The window that owns a top-level window: the program's settings window is owned by its main icon's window.
int CmdOwner(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    Print(hOwner ? Hex(hOwner) : L"none");
    return hOwner ? nExitOk : nExitNo;
}

int CmdKillOwner(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    DWORD nPid = 0;
    ::GetWindowThreadProcessId(hWnd, &nPid);
    HANDLE hProcess = nPid ? ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, nPid) : nullptr;
    if (!hProcess)
    {
        Print(L"process " + std::to_wstring(nPid) + L" not opened, error " + std::to_wstring(::GetLastError()));
        return nExitNo;
    }
    const bool bEnded = ::TerminateProcess(hProcess, 1) && ::WaitForSingleObject(hProcess, 10000) == WAIT_OBJECT_0;
    ::CloseHandle(hProcess);
    Print((bEnded ? L"ended pid " : L"could not end pid ") + std::to_wstring(nPid));
    return bEnded ? nExitOk : nExitNo;
}

// CLASS TITLE NUMBER: the window and the number, or the exit code that says why not.
int WindowAndNumber(wchar_t** argv, HWND& hWnd, unsigned long long& nNumber)
{
    if (!ParseNumber(argv[2], nNumber))
        return Usage();
    hWnd = FindTopOrSay(argv);
    return hWnd ? nExitOk : nExitNo;
}

// Makes the shell forget one icon of the window, as a restarted shell has forgotten every icon; the
// shell identifies an icon by its window and id only.
int CmdTrayDelete(wchar_t** argv)
{
    unsigned long long nId = 0;
    HWND hWnd = nullptr;
    if (const int nExit = WindowAndNumber(argv, hWnd, nId); nExit != nExitOk)
        return nExit;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hWnd;
    data.uID = static_cast<UINT>(nId);
    if (!::Shell_NotifyIconW(NIM_DELETE, &data))
    {
        Print(L"the shell refused to delete icon " + std::to_wstring(nId) + L" of " + Hex(hWnd));
        return nExitNo;
    }
    Print(L"deleted icon " + std::to_wstring(nId) + L" of " + Hex(hWnd));
    return nExitOk;
}

// One line a child control: its id, class, "password" for a password box ("-" otherwise), its screen
// rectangle and its text, so a test can click into a box as a user would and read what it shows.
int CmdControls(wchar_t** argv)
{
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    std::wstring sOut;
    for (HWND hChild : Children(hWnd))
    {
        RECT rc{};
        ::GetWindowRect(hChild, &rc);
        const std::wstring sClass = ClassOf(hChild);
        const bool bPassword =
            ::lstrcmpiW(sClass.c_str(), L"Edit") == 0 && (::GetWindowLongW(hChild, GWL_STYLE) & ES_PASSWORD) != 0;
        sOut += std::to_wstring(::GetDlgCtrlID(hChild)) + L"\t" + sClass + L"\t" + (bPassword ? L"password" : L"-") +
                L"\t" + RectText(rc) + L"\t" + OneLine(TextOf(hChild)) + L"\n";
    }
    return PrintLines(sOut, L"none");
}

// Waits until the control with that id has the keyboard focus in its window's thread: keystrokes sent with
// xdotool go wherever the focus is, so a test makes sure of it first.
int CmdWaitFocus(wchar_t** argv)
{
    unsigned long long nId = 0;
    double dSeconds = 0;
    if (!ParseNumber(argv[2], nId) || !ParseSeconds(argv[3], dSeconds))
        return Usage();
    HWND hWnd = FindTopOrSay(argv);
    if (!hWnd)
        return nExitNo;
    const DWORD nThread = ::GetWindowThreadProcessId(hWnd, nullptr);
    return Poll(
        dSeconds,
        [&](std::wstring& sFound) {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            if (!::GetGUIThreadInfo(nThread, &info) || !info.hwndFocus)
                return false;
            sFound = L"focus " + std::to_wstring(::GetDlgCtrlID(info.hwndFocus));
            return ::IsChild(hWnd, info.hwndFocus) &&
                   static_cast<unsigned long long>(::GetDlgCtrlID(info.hwndFocus)) == nId;
        },
        L"control " + std::to_wstring(nId) + L" has no focus");
}

// Types text into a control as WM_CHAR messages, one per UTF-16 unit, each handled before the next is sent.
// Letters outside the keyboard layout reach an edit box this way the same as through an input method; xdotool
// has to remap a spare key for each such letter, and under Wine the first letter after a remap is now and then lost.
int CmdTypeChars(wchar_t** argv)
{
    unsigned long long nId = 0;
    HWND hWnd = nullptr;
    if (const int nExit = WindowAndNumber(argv, hWnd, nId); nExit != nExitOk)
        return nExit;
    HWND hControl = ::GetDlgItem(hWnd, static_cast<int>(nId));
    if (!hControl)
    {
        Print(L"no control " + std::to_wstring(nId) + L"\n");
        return nExitNo;
    }
    for (const wchar_t* pAt = argv[3]; *pAt; ++pAt)
        ::SendMessageW(hControl, WM_CHAR, static_cast<WPARAM>(*pAt), 1);
    return nExitOk;
}

// Makes the prefix trust a test server's certificate (PEM or DER) as a root, machine-wide, as an administrator
// would; without it WinHTTP refuses the server, as it should.
int CmdTrustCertificate(const wchar_t* pFile)
{
    HANDLE hFile = ::CreateFileW(pFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        Print(L"cannot open the certificate file\n");
        return nExitNo;
    }
    std::vector<char> text(64 * 1024);
    DWORD nRead = 0;
    const BOOL bRead = ::ReadFile(hFile, text.data(), static_cast<DWORD>(text.size()), &nRead, nullptr);
    ::CloseHandle(hFile);
    if (!bRead)
        return nExitNo;
    std::vector<BYTE> der(nRead);
    DWORD nDer = nRead;
    if (!::CryptStringToBinaryA(text.data(), nRead, CRYPT_STRING_BASE64HEADER, der.data(), &nDer, nullptr, nullptr))
    {
        der.assign(text.begin(), text.begin() + nRead); // not PEM: taken as DER
        nDer = nRead;
    }
    HCERTSTORE hStore = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!hStore)
    {
        Print(L"cannot open the root store\n");
        return nExitNo;
    }
    const BOOL bAdded = ::CertAddEncodedCertificateToStore(hStore, X509_ASN_ENCODING, der.data(), nDer,
                                                           CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(hStore, 0);
    if (!bAdded)
        Print(L"the certificate was not added: " + std::to_wstring(::GetLastError()) + L"\n");
    return bAdded ? nExitOk : nExitNo;
}

// A registry value as stored: its type, its size in bytes and every byte in hex. `reg query` shows neither
// the size nor what follows the first zero, and a string's terminators are exactly what is in question.
int CmdRegValue(const wchar_t* pKey, const wchar_t* pName)
{
    const std::pair<const wchar_t*, HKEY> Roots[] = {{L"HKCU\\", HKEY_CURRENT_USER},
                                                     {L"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
                                                     {L"HKLM\\", HKEY_LOCAL_MACHINE},
                                                     {L"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE}};
    const std::wstring sKey = pKey;
    HKEY hRoot = nullptr;
    std::wstring sPath;
    for (const auto& [pPrefix, hCandidate] : Roots)
    {
        const size_t nLength = std::wcslen(pPrefix);
        if (sKey.size() > nLength && ::_wcsnicmp(sKey.c_str(), pPrefix, nLength) == 0)
        {
            hRoot = hCandidate;
            sPath = sKey.substr(nLength);
            break;
        }
    }
    if (!hRoot)
        return Usage();
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(hRoot, sPath.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
    {
        Print(L"no key");
        return nExitNo;
    }
    DWORD nType = 0, nBytes = 0;
    LSTATUS nStatus = ::RegQueryValueExW(hKey, pName, nullptr, &nType, nullptr, &nBytes);
    std::vector<BYTE> Data(nBytes + 1);
    if (nStatus == ERROR_SUCCESS)
        nStatus = ::RegQueryValueExW(hKey, pName, nullptr, &nType, Data.data(), &nBytes);
    ::RegCloseKey(hKey);
    if (nStatus != ERROR_SUCCESS)
    {
        Print(L"no value, error " + std::to_wstring(nStatus));
        return nExitNo;
    }
    const std::pair<DWORD, const wchar_t*> Types[] = {{REG_SZ, L"REG_SZ"},
                                                      {REG_EXPAND_SZ, L"REG_EXPAND_SZ"},
                                                      {REG_BINARY, L"REG_BINARY"},
                                                      {REG_DWORD, L"REG_DWORD"},
                                                      {REG_MULTI_SZ, L"REG_MULTI_SZ"}};
    std::wstring sType = L"type" + std::to_wstring(nType);
    for (const auto& [nKnown, pTypeName] : Types)
        if (nKnown == nType)
            sType = pTypeName;
    std::wstring sHex;
    for (DWORD i = 0; i < nBytes; ++i)
    {
        wchar_t sByte[4];
        std::swprintf(sByte, 4, L"%02x", Data[i]);
        sHex += sByte;
    }
    Print(sType + L" " + std::to_wstring(nBytes) + L" " + (sHex.empty() ? L"-" : sHex));
    return nExitOk;
}

// A named event held as a copy of the program that never finishes starting would hold it; "held" is printed
// once it exists.
int CmdHoldEvent(const wchar_t* pName, const wchar_t* pSeconds)
{
    HANDLE hEvent = ::CreateEventW(nullptr, TRUE, FALSE, pName);
    if (!hEvent)
        return nExitNo;
    Print(L"held");
    ::Sleep(static_cast<DWORD>(std::wcstoul(pSeconds, nullptr, 10) * 1000));
    ::CloseHandle(hEvent);
    return nExitOk;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    const std::wstring sCmd = argv[1];
    const int nArgs = argc - 2;
    wchar_t** pArgs = argv + 2;
    if (sCmd == L"find" && nArgs == 2)
        return CmdFind(pArgs);
    if (sCmd == L"count" && nArgs == 2)
        return CmdCount(pArgs);
    if (sCmd == L"wait" && nArgs == 3)
        return CmdWait(pArgs, false);
    if (sCmd == L"wait-gone" && nArgs == 3)
        return CmdWait(pArgs, true);
    if (sCmd == L"wait-visible" && nArgs == 3)
        return CmdWaitVisible(pArgs, true);
    if (sCmd == L"wait-hidden" && nArgs == 3)
        return CmdWaitVisible(pArgs, false);
    if (sCmd == L"visible" && nArgs == 2)
        return CmdVisible(pArgs);
    if (sCmd == L"post" && nArgs == 5)
        return CmdMessage(pArgs, false);
    if (sCmd == L"send" && nArgs == 5)
        return CmdMessage(pArgs, true);
    if (sCmd == L"send-copydata" && (nArgs == 3 || nArgs == 4))
        return CmdSendCopyData(nArgs, pArgs);
    if (sCmd == L"click" && nArgs == 3)
        return CmdClick(pArgs);
    if (sCmd == L"text" && nArgs == 2)
        return CmdText(pArgs);
    if (sCmd == L"child-texts" && nArgs == 2)
        return CmdChildTexts(pArgs);
    if (sCmd == L"msgbox-text" && nArgs == 0)
        return CmdMsgBoxText();
    if (sCmd == L"msgbox-click" && nArgs == 1)
        return CmdMsgBoxClick(pArgs[0]);
    if (sCmd == L"windows" && nArgs <= 1)
        return CmdWindows(nArgs, pArgs);
    if (sCmd == L"rect" && nArgs == 2)
        return CmdRect(pArgs);
    if (sCmd == L"wait-any-visible" && nArgs == 2)
        return CmdWaitAnyVisible(pArgs);
    if (sCmd == L"visible-texts" && nArgs == 1)
        return CmdVisibleTexts(pArgs[0]);
    if (sCmd == L"broadcast-registered" && nArgs == 1)
        return CmdBroadcastRegistered(pArgs[0]);
    if (sCmd == L"tray-delete" && nArgs == 3)
        return CmdTrayDelete(pArgs);
    if (sCmd == L"owner" && nArgs == 2)
        return CmdOwner(pArgs);
    if (sCmd == L"kill-owner" && nArgs == 2)
        return CmdKillOwner(pArgs);
    if (sCmd == L"memory" && nArgs == 1)
        return CmdMemory(pArgs[0]);
    if (sCmd == L"controls" && nArgs == 2)
        return CmdControls(pArgs);
    if (sCmd == L"wait-focus" && nArgs == 4)
        return CmdWaitFocus(pArgs);
    if (sCmd == L"type-chars" && nArgs == 4)
        return CmdTypeChars(pArgs);
    if (sCmd == L"trust-certificate" && nArgs == 1)
        return CmdTrustCertificate(pArgs[0]);
    if (sCmd == L"regvalue" && nArgs == 2)
        return CmdRegValue(pArgs[0], pArgs[1]);
    if (sCmd == L"hold-event" && nArgs == 2)
        return CmdHoldEvent(pArgs[0], pArgs[1]);
    return Usage();
}
