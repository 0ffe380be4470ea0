#include "platform/win32/Utf.h"

#include "platform/win32/Win32.h"

namespace qv::win32
{

std::wstring Utf16(std::string_view sText)
{
    if (sText.empty())
        return {};
    const int nChars = ::MultiByteToWideChar(CP_UTF8, 0, sText.data(), static_cast<int>(sText.size()), nullptr, 0);
    std::wstring sOut(static_cast<size_t>(nChars), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, sText.data(), static_cast<int>(sText.size()), sOut.data(), nChars);
    return sOut;
}

std::string Utf8(std::wstring_view sText)
{
    if (sText.empty())
        return {};
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, sText.data(), static_cast<int>(sText.size()), nullptr, 0, nullptr, nullptr);
    std::string sOut(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, sText.data(), static_cast<int>(sText.size()), sOut.data(), nBytes, nullptr,
                          nullptr);
    return sOut;
}

std::string Ansi(std::string_view sUtf8)
{
    const std::wstring sWide = Utf16(sUtf8);
    if (sWide.empty())
        return {};
    const int nBytes =
        ::WideCharToMultiByte(CP_ACP, 0, sWide.data(), static_cast<int>(sWide.size()), nullptr, 0, nullptr, nullptr);
    std::string sOut(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, sWide.data(), static_cast<int>(sWide.size()), sOut.data(), nBytes, nullptr,
                          nullptr);
    return sOut;
}

std::string FromAnsi(std::string_view sAnsi)
{
    if (sAnsi.empty())
        return {};
    const int nChars = ::MultiByteToWideChar(CP_ACP, 0, sAnsi.data(), static_cast<int>(sAnsi.size()), nullptr, 0);
    std::wstring sWide(static_cast<size_t>(nChars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, sAnsi.data(), static_cast<int>(sAnsi.size()), sWide.data(), nChars);
    return Utf8(sWide);
}

} // namespace qv::win32
