// The packer's core: reads a command line such as -SXr "C:\Temp\x.zip" "photos\*.*" and writes the archive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "FileSystem.h"

namespace qv::zip
{

// The exit codes packers commonly use; the program that starts us reads none of them, a person at a prompt might.
enum ExitCode : int {
    nExitOk = 0,
    nExitDamagedArchive = 3,
    nExitTooLarge = 6,
    nExitNothingToDo = 12,
    nExitWriteFailed = 14,
    nExitCannotCreate = 15,
    nExitBadUsage = 16,
    nExitCannotRead = 18,
};

// Args: the words after the program's name. Options (letters S X r j u, in any clusters) come before the archive;
// every word after it names files, even one that begins with '-'. Messages for the user go to sErrors.
[[nodiscard]] int RunPacker(const std::vector<std::string>& Args, IFileSystem& Fs, std::string& sErrors);

// '*' any run of characters, '?' one character (not one byte); a pattern ending in ".*" also takes names without a
// dot, as "*.*" takes every name on Windows.
[[nodiscard]] bool MatchName(std::string_view sPattern, std::string_view sName, bool bCaseBlind);

} // namespace qv::zip
