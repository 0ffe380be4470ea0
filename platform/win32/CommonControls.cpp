#include "platform/win32/CommonControls.h"

#include <commctrl.h>

#include "platform/win32/UniqueHandle.h"

namespace qv::win32
{

namespace
{

constexpr int nCommonControlsManifestId = 64;

UniqueActCtx CreateContext()
{
    HMODULE hModule = ::GetModuleHandleW(nullptr);
    wchar_t sModule[MAX_PATH] = {};
    if (::GetModuleFileNameW(hModule, sModule, MAX_PATH) == 0)
        return UniqueActCtx();
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = hModule;
    context.lpSource = sModule;
    context.lpResourceName = MAKEINTRESOURCEW(nCommonControlsManifestId);
    HANDLE hContext = ::CreateActCtxW(&context);
    return UniqueActCtx(hContext == INVALID_HANDLE_VALUE ? nullptr : hContext);
}

} // namespace

CommonControlsScope::CommonControlsScope()
{
    static const UniqueActCtx hContext = CreateContext(); // for the process's life
    bActive = hContext && ::ActivateActCtx(hContext.get(), &nCookie);
}

CommonControlsScope::~CommonControlsScope()
{
    if (bActive)
        ::DeactivateActCtx(0, nCookie);
}

void InitCommonControlsOnce()
{
    static const bool bDone = [] {
        const CommonControlsScope scope;
        HMODULE hCommon = ::LoadLibraryW(L"comctl32.dll"); // kept: its classes are in use from now on
        using InitProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        const auto pInit = hCommon ? reinterpret_cast<InitProc>(reinterpret_cast<void*>(
                                         ::GetProcAddress(hCommon, "InitCommonControlsEx")))
                                   : nullptr;
        const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        return pInit && pInit(&controls);
    }();
    (void)bDone;
}

} // namespace qv::win32
