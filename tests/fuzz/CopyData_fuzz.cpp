// Hand-off records and tray callbacks as another process may send them: nothing read beyond the stated bytes,
// no zero byte or edge blanks left in a command line, a library's record passed on untouched.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/TrayEvents.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    constexpr size_t nHeader = 16; // code, stated byte count, callback lParam
    if (nSize < nHeader)
        return 0;
    uint64_t nCode = 0;
    uint32_t cbStated = 0, nLParam = 0;
    std::memcpy(&nCode, pData, 8);
    std::memcpy(&cbStated, pData + 8, 4);
    std::memcpy(&nLParam, pData + 12, 4);
    (void)qv::DecodeTrayCallback(nLParam);

    // The payload in a block of its own, so that a read past the stated bytes lands outside it. Windows
    // guarantees the stated bytes; a count beyond the payload is cut to it.
    const size_t nPayload = nSize - nHeader;
    const uint32_t cbData = static_cast<uint32_t>(std::min<size_t>(cbStated, nPayload));
    const std::unique_ptr<char[]> pPayload(new char[nPayload ? nPayload : 1]);
    std::memcpy(pPayload.get(), pData + nHeader, nPayload);
    const void* pSent = (nCode & 0x100) ? nullptr : pPayload.get(); // a sender may state bytes and send none
    nCode &= 0xFF;

    const auto FromAnsi = [&](const char* pBytes, size_t nBytes) {
        if (pBytes < pPayload.get() || pBytes + nBytes > pPayload.get() + cbData || std::memchr(pBytes, 0, nBytes))
            std::abort(); // only stated bytes, and none past the terminator
        return std::string(pBytes, nBytes);
    };
    const qv::TrayEvent event = qv::DecodeCopyData(nCode, pSent, cbData, FromAnsi);
    const std::string& sLine = event.sCommandLine;
    if (sLine.find('\0') != std::string::npos)
        std::abort();
    if (!sLine.empty() && (std::strchr(" \t\r\n", sLine.front()) || std::strchr(" \t\r\n", sLine.back())))
        std::abort();
    if (nCode == 3 && (event.pData != pSent || event.cbData != cbData))
        std::abort();
    return 0;
}
