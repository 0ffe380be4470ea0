// Where the running program lives: its file and its folder, in any length the system allows.
#pragma once

#include <string>

namespace qv::win32
{

std::wstring ProgramFileW();
// With its final backslash.
std::wstring ProgramFolderW();

} // namespace qv::win32
