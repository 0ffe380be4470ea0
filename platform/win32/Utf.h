// Conversions at the Win32 boundary: UTF-8 inside, UTF-16 (or the ANSI code page where bytes are fixed) outside.
#pragma once

#include <string>
#include <string_view>

namespace qv::win32
{

std::wstring Utf16(std::string_view sText);
std::string Utf8(std::wstring_view sText);
// The system ANSI code page, for the bytes of the hand-off between copies.
std::string Ansi(std::string_view sUtf8);
std::string FromAnsi(std::string_view sAnsi);

} // namespace qv::win32
