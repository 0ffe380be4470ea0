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
};

} // namespace qv
