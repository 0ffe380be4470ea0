// Scrambling of the stored password: the password read as a number in a large radix, written in radix 36.
// It keeps the password from being read at a glance in the registry; it is not encryption.
#pragma once

#include <string>
#include <string_view>

namespace qv
{

// The program's own digit table, as code points; its first 36 characters are the digits of the stored form.
const std::u32string& DigitTable();

// The table's length with "Webmail Login" ticked, 10 less without.
int PasswordRadix(bool bWebmailLogin);

std::string RadixConvert(std::string_view sText, int nFrom, int nTo, int nPasswordRadix);
std::string EncodePassword(std::string_view sPassword, bool bWebmailLogin);
std::string DecodePassword(std::string_view sStored, bool bWebmailLogin);

// What "Password" should hold: the scrambled form when it reads back as the same password, otherwise the
// plain "text:" form, so that no password is ever stored as a different one.
std::string StoredPassword(std::string_view sPassword, bool bWebmailLogin);
// The password a stored text stands for.
std::string RestoredPassword(std::string_view sStored, bool bWebmailLogin);

inline constexpr std::string_view sPlainPrefix = "text:";

} // namespace qv
