// Process-wide services of the machine.
#pragma once

namespace qv
{

class ISystem
{
public:
    virtual ~ISystem() = default;
    // Returns the pages of an idle program to the system; it runs all day.
    virtual void TrimWorkingSet() = 0;
    // "unread.wav" from the program's folder, or the system beep without it; never waits for the end.
    virtual void PlayNewMailSound() = 0;
    // The system's default beep.
    virtual void Beep() = 0;
};

} // namespace qv
