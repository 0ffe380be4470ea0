// The program's name and version, which the tray, the message boxes and the envelopes all show.
#pragma once

#include <string>
#include <string_view>

namespace qv
{

inline constexpr std::string_view sProductTitle = "Quorvel";

// "5.0.1"
inline std::string VersionText()
{
    return std::to_string(QUORVEL_VERSION_MAJOR) + "." + std::to_string(QUORVEL_VERSION_MINOR) + "." +
           std::to_string(QUORVEL_VERSION_REVISION);
}

// The name without blanks, where a blank would end it: the upload's User-Agent, the temporary archive's name.
inline std::string ProductToken()
{
    std::string sName(sProductTitle);
    std::erase(sName, ' ');
    return sName;
}

// "Quorvel v5.0.1": the default tooltip and the title of the program's message boxes.
inline std::string ProductCaption()
{
    return std::string(sProductTitle) + " v" + VersionText();
}

} // namespace qv
