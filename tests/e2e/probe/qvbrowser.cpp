// qvbrowser: the stand-in web browser the end-to-end tests register for http addresses.
//   qvbrowser.exe RECORD-FILE ADDRESS...          appends the address to the file as one UTF-8 line, and ends;
//   qvbrowser.exe RECORD-FILE --window CLASS TITLE keeps a minimised, inactive window of that class and title
//                                                  open (a browser showing the web mail), appending "activated"
//                                                  each time it becomes the active window, until it is closed.
#include <windows.h>
// The other Windows headers need the types of windows.h.
#include <shellapi.h>

#include <string>

namespace
{

const wchar_t* pRecord = nullptr;

// Appended in one write, so a test reading the file meanwhile sees whole lines.
bool AppendLine(const std::wstring& sText)
{
    const std::wstring sLine = sText + L"\n";
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, sLine.c_str(), static_cast<int>(sLine.size()), nullptr, 0, nullptr, nullptr);
    std::string sBytes(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, sLine.c_str(), static_cast<int>(sLine.size()), sBytes.data(), nBytes, nullptr,
                          nullptr);
    HANDLE hFile = ::CreateFileW(pRecord, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD nWritten = 0;
    const BOOL bOk = ::WriteFile(hFile, sBytes.data(), static_cast<DWORD>(sBytes.size()), &nWritten, nullptr);
    ::CloseHandle(hFile);
    return bOk;
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)
        AppendLine(L"activated");
    if (nMsg == WM_DESTROY)
        ::PostQuitMessage(0);
    return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

int KeepWindow(HINSTANCE hInstance, const wchar_t* pClass, const wchar_t* pTitle)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = hInstance;
    windowClass.lpszClassName = pClass;
    if (!::RegisterClassW(&windowClass))
        return 1;
    HWND hWnd = ::CreateWindowExW(0, pClass, pTitle, WS_OVERLAPPEDWINDOW, 40, 40, 400, 300, nullptr, nullptr,
                                  hInstance, nullptr);
    if (!hWnd)
        return 1;
    // A child, as a page inside a browser's frame is: some browsers are recognised only with one.
    ::CreateWindowExW(0, L"STATIC", pTitle, WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, hWnd, nullptr, hInstance, nullptr);
    ::ShowWindow(hWnd, SW_SHOWMINNOACTIVE);
    AppendLine(L"window");
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int)
{
    int nArgs = 0;
    LPWSTR* pArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    if (!pArgs || nArgs < 2)
        return 2;
    pRecord = pArgs[1];
    if (nArgs == 5 && std::wstring(pArgs[2]) == L"--window")
        return KeepWindow(hInstance, pArgs[3], pArgs[4]); // the arguments live as long as the process
    std::wstring sLine;
    for (int i = 2; i < nArgs; ++i)
        sLine += (i > 2 ? L" " : L"") + std::wstring(pArgs[i]);
    const bool bOk = AppendLine(sLine);
    ::LocalFree(pArgs);
    return bOk ? 0 : 1;
}
