// The shell integration every settings save re-applies beside the registry's: the Send To shortcut and the Office
// add-in removal. (Run at start-up and the default mail client are settings' own, over IRegistry and IWinSetup.)
#pragma once

namespace qv
{

class IIntegration
{
public:
    virtual ~IIntegration() = default;
    virtual void ApplyShortcuts() = 0; // Send To shortcut, add-in files
};

} // namespace qv
