#include "platform/win32/ShellLink.h"

#include <shlguid.h>
#include <shlobj.h>
#include <knownfolders.h>

#include "platform/win32/ProgramFile.h"
#include "platform/win32/Utf.h"

namespace qv::win32
{

IShellLinkW* cShellLink::Link()
{
    if (!pLink)
    {
        IShellLinkW* p = nullptr;
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&p))))
            pLink.reset(p);
    }
    return pLink.get();
}

IPersistFile* cShellLink::File()
{
    if (!pFile && Link())
    {
        IPersistFile* p = nullptr;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&p))))
            pFile.reset(p);
    }
    return pFile.get();
}

bool cShellLink::Resolve(const std::string& sFile, DWORD nFlags, HWND hWnd)
{
    return File() && SUCCEEDED(pFile->Load(Utf16(sFile).c_str(), STGM_READ)) &&
           SUCCEEDED(pLink->Resolve(hWnd, nFlags));
}

std::string cShellLink::Path()
{
    wchar_t sPath[MAX_PATH + 1] = {};
    if (!Link() || FAILED(pLink->GetPath(sPath, MAX_PATH, nullptr, SLGP_UNCPRIORITY)))
        return {};
    return Utf8(sPath); // ends at its first zero
}

bool cShellLink::SetPath(const std::string& sPath)
{
    // The shell would keep a target that does not exist; a shortcut to nothing is refused here.
    if (::GetFileAttributesW(Utf16(sPath).c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    return Link() && SUCCEEDED(pLink->SetPath(Utf16(sPath).c_str()));
}

bool cShellLink::SetWorkingDirectory(const std::string& sFolder)
{
    return Link() && SUCCEEDED(pLink->SetWorkingDirectory(Utf16(sFolder).c_str()));
}

bool cShellLink::SetDescription(const std::string& sText)
{
    return Link() && SUCCEEDED(pLink->SetDescription(Utf16(sText).c_str()));
}

bool cShellLink::SetArguments(const std::string& sText)
{
    return Link() && SUCCEEDED(pLink->SetArguments(Utf16(sText).c_str()));
}

bool cShellLink::SetDisplayMode(int nShowCmd)
{
    const int nMode = nShowCmd == SW_SHOWMAXIMIZED || nShowCmd == SW_SHOWMINNOACTIVE ? nShowCmd : SW_SHOWNORMAL;
    return Link() && SUCCEEDED(pLink->SetShowCmd(nMode));
}

bool cShellLink::SetIcon(const std::string& sFile, int nIndex)
{
    return Link() && SUCCEEDED(pLink->SetIconLocation(Utf16(sFile).c_str(), nIndex));
}

bool cShellLink::Save(const std::string& sLinkFile)
{
    return !sLinkFile.empty() && File() && SUCCEEDED(pFile->Save(Utf16(sLinkFile).c_str(), TRUE));
}

std::optional<std::string> Win32ShellLinks::LinkTarget(const std::string& sLinkFile)
{
    cShellLink link;
    if (!link.Resolve(sLinkFile, SLR_NO_UI, nullptr))
        return std::nullopt;
    return link.Path();
}

bool Win32ShellLinks::SaveLink(const std::string& sLinkFile, const ShellLinkFields& fields)
{
    cShellLink link;
    return link.SetPath(fields.sPath) && link.SetIcon(fields.sIconPath, fields.nIconIndex) &&
           link.SetArguments(fields.sArguments) && link.SetDescription(fields.sDescription) &&
           link.SetDisplayMode(fields.nShowCmd) && link.SetWorkingDirectory(fields.sWorkingDirectory) &&
           link.Save(sLinkFile);
}

DeleteOutcome Win32ShellLinks::DeleteFile(const std::string& sPath)
{
    if (::DeleteFileW(Utf16(sPath).c_str()))
        return DeleteOutcome::Deleted;
    const DWORD nError = ::GetLastError();
    return nError == ERROR_SHARING_VIOLATION || nError == ERROR_ACCESS_DENIED || nError == ERROR_LOCK_VIOLATION
               ? DeleteOutcome::InUse
               : DeleteOutcome::Failed;
}

std::string Win32ShellLinks::ProgramFile()
{
    return Utf8(ProgramFileW());
}

std::string Win32ShellLinks::SendToFolder()
{
    wchar_t* pPath = nullptr;
    std::string sFolder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, &pPath)) && pPath)
        sFolder = Utf8(pPath);
    ::CoTaskMemFree(pPath);
    return sFolder;
}

} // namespace qv::win32
