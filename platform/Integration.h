// The shell integration every settings save re-applies: the Send To shortcut, the Office add-in removal,
// run at start-up and the default mail client.
#pragma once

namespace qv
{

class IIntegration
{
public:
    virtual ~IIntegration() = default;
    virtual void ApplyShortcuts() = 0; // Send To shortcut, add-in files
    virtual void ApplyWindowsIntegration(int nMode) = 0;
    virtual bool IsDefaultMailClient() = 0;
};

} // namespace qv
