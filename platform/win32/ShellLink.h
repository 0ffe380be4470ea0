// Shortcut files through the shell's link object (IShellLinkW and its IPersistFile), and the file deletions the
// settings save does.
#pragma once

#include "platform/win32/Win32.h"

#include <shobjidl.h>

#include <memory>
#include <string>

#include "platform/ShellLinks.h"

namespace qv::win32
{

struct ComRelease
{
    void operator()(IUnknown* p) const noexcept { p->Release(); }
};
template <typename T>
using UniqueCom = std::unique_ptr<T, ComRelease>;

// One link object, made on first use; COM must be initialised on the thread.
class cShellLink
{
public:
    // Loads the link from sFile and lets the shell find a target that moved; no window, no questions.
    bool Resolve(const std::string& sFile, DWORD nFlags, HWND hWnd);
    std::string Path();
    bool SetPath(const std::string& sPath);
    bool SetWorkingDirectory(const std::string& sFolder);
    bool SetDescription(const std::string& sText);
    bool SetArguments(const std::string& sText);
    // 1 normal, 3 maximised, 7 minimised without activation; anything else is normal.
    bool SetDisplayMode(int nShowCmd);
    bool SetIcon(const std::string& sFile, int nIndex);
    bool Save(const std::string& sLinkFile);

private:
    IShellLinkW* Link();
    IPersistFile* File();

    UniqueCom<IShellLinkW> pLink;
    UniqueCom<IPersistFile> pFile;
};

class Win32ShellLinks final : public IShellLinks
{
public:
    std::optional<std::string> LinkTarget(const std::string& sLinkFile) override;
    bool SaveLink(const std::string& sLinkFile, const ShellLinkFields& fields) override;
    DeleteOutcome DeleteFile(const std::string& sPath) override;
    std::string ProgramFile() override;
    std::string SendToFolder() override;
};

} // namespace qv::win32
