#include "platform/TrayEvents.h"

#include <cstring>

#include "platform/Text.h"

namespace qv
{

TrayEvent DecodeTrayCallback(uint32_t nLParam)
{
    TrayEvent event;
    const uint32_t nMessage = nLParam & 0xFFFF;
    // Left, right and middle buttons come in runs of three: down, up, double click.
    if (nMessage >= 0x0201 && nMessage <= 0x0209)
    {
        static constexpr TrayEventKind kinds[] = {TrayEventKind::MouseDown, TrayEventKind::MouseUp,
                                                  TrayEventKind::DblClick};
        static constexpr int buttons[] = {1, 2, 4};
        event.nKind = kinds[(nMessage - 0x0201) % 3];
        event.nButton = buttons[(nMessage - 0x0201) / 3];
        return event;
    }
    switch (nMessage)
    {
    case 0x0402: event.nKind = TrayEventKind::BalloonShow; break;
    case 0x0404: event.nKind = TrayEventKind::BalloonHide; break;
    case 0x0405: event.nKind = TrayEventKind::BalloonClick; break;
    default: break; // mouse moves and the rest
    }
    return event;
}

TrayEvent DecodeCopyData(uint64_t nCode, const void* pData, uint32_t cbData, const AnsiDecoder& fnFromAnsi)
{
    TrayEvent event;
    const auto Text = [&] {
        if (cbData == 0 || !pData)
            return std::string();
        // Only the stated bytes, cut at the first zero: a sender may forget the terminator or state too few.
        const char* pBytes = static_cast<const char*>(pData);
        const void* pZero = std::memchr(pBytes, 0, cbData);
        const size_t nBytes = pZero ? static_cast<size_t>(static_cast<const char*>(pZero) - pBytes) : cbData;
        return Trim(fnFromAnsi(pBytes, nBytes));
    };
    switch (nCode)
    {
    case 1:
        event.nKind = TrayEventKind::AbreZimbra;
        event.sCommandLine = Text();
        break;
    case 2:
        event.nKind = TrayEventKind::UploadFile;
        event.sCommandLine = Text();
        break;
    case 3:
        event.nKind = TrayEventKind::MapiMensaje;
        event.pData = pData;
        event.cbData = cbData;
        event.sCommandLine = Text(); // read now: the sender's bytes are gone once the message has been answered
        break;
    case 4: event.nKind = TrayEventKind::SettingsShowRequest; break;
    default: break;
    }
    return event;
}

} // namespace qv
