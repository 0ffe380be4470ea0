// Message boxes.
#pragma once

#include <string>

namespace qv
{

constexpr int nMbCritical = 16;
constexpr int nMbInformation = 64;
constexpr int nMbExclamation = 48;
constexpr int nMbQuestion = 32;
constexpr int nMbTopMost = 0x40000;

class IDialogs
{
public:
    virtual ~IDialogs() = default;
    // Modal; returns the button pressed (1 OK, 6 Yes, 7 No, ...).
    virtual int ShowMessageBox(const std::string& sText, int nStyle, const std::string& sTitle) = 0;
    // A box with a "don't ask again" tick, remembered by the system under sValueName; once ticked, later calls
    // show nothing and return nDefault. Also nDefault when the box cannot be shown.
    virtual int ShowMessageBoxCheck(const std::string& sText, int nStyle, const std::string& sTitle, int nDefault,
                                    const std::string& sValueName) = 0;
};

} // namespace qv
