// Small text helpers the core shares. Text is UTF-8 throughout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv
{

std::string ReplaceAll(std::string sText, std::string_view sFrom, std::string_view sTo);
std::string AsciiLower(std::string_view sText);
bool ContainsNoCase(std::string_view sText, std::string_view sPart); // ASCII letters only
bool StartsWithNoCase(std::string_view sText, std::string_view sPrefix); // ASCII letters only
// Every part between separators, empty ones included: "a||b" is three parts and "" is one.
std::vector<std::string> Split(std::string_view sText, std::string_view sSeparator);
std::string Trim(std::string_view sText);

// Code points of a UTF-8 text; an invalid byte stands for itself (as U+0080..U+00FF would), so nothing is lost.
std::u32string DecodeUtf8(std::string_view sText);
std::string EncodeUtf8(std::u32string_view sText);
// Characters beyond the first plane become surrogate pairs.
std::u16string EncodeUtf16(std::u32string_view sText);

// At most nMax bytes of sText, never cutting a character in two.
std::string CutUtf8(std::string_view sText, size_t nMax);

} // namespace qv
