// What reaches an icon's hidden window, decoded into the icon's events: the shell's callbacks and the
// hand-off messages of a second copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qv
{

enum class TrayEventKind {
    None,
    MouseUp,
    MouseDown,
    DblClick,
    BalloonShow,
    BalloonHide,
    BalloonClick,
    AbreZimbra,
    UploadFile,
    MapiMensaje,
    SettingsShowRequest
};

struct TrayEvent
{
    TrayEventKind nKind = TrayEventKind::None;
    int nButton = 0;          // 1 left, 2 right, 4 middle
    std::string sCommandLine{}; // codes 1 and 2, UTF-8
    const void* pData = nullptr;
    uint32_t cbData = 0; // code 3: passed on unchanged
};

// The low 16 bits of the callback's lParam.
TrayEvent DecodeTrayCallback(uint32_t nLParam);

// fnFromAnsi turns the system code page's bytes into UTF-8; only the first cbData bytes are read.
using AnsiDecoder = std::function<std::string(const char* pBytes, size_t nBytes)>;
TrayEvent DecodeCopyData(uint64_t nCode, const void* pData, uint32_t cbData, const AnsiDecoder& fnFromAnsi);

} // namespace qv
