// The notification filter on a pattern and a name from the input, split at its first zero byte: no crash, no
// runaway match, the same answer from the cache, each message at most once per filter text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "session/Folders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view sInput(reinterpret_cast<const char*>(pData), nSize);
    const size_t nSplit = sInput.find('\0');
    const std::string sPattern(sInput.substr(0, nSplit));
    const std::string sName(nSplit == std::string_view::npos ? std::string_view() : sInput.substr(nSplit + 1));

    size_t nShown = 0;
    qv::NameFilter filter([&](const std::string&) { ++nShown; });
    const bool bMatch = filter.RegexTest(sName, sPattern);
    const size_t nShownFirst = nShown;
    if (nShownFirst > 2 || filter.RegexTest(sName, sPattern) != bMatch || nShown != nShownFirst)
        std::abort();
    (void)filter.RegexTest(sPattern, sName); // the other way round too
    return 0;
}
