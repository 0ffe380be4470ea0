// The mail-client hand-off text comes from any local program: whatever it holds, reading it and writing what
// was read back end in bounded time and never read past the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sending/MapiText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const qv::MapiMessage message = qv::ParseMapiMessage(std::string_view(reinterpret_cast<const char*>(pData), nSize));
    (void)qv::WriteMapiMessage(message);
    return 0;
}
