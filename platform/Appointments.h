// An appointment item as the readers of answers keep it, and the list that owns the items and their icons.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv
{

// The record of an appointment that is due or running. Times are UTC milliseconds; only what is shown is local.
struct ApptFields
{
    bool bNotificar = true;           // the user still wants reminders of it
    std::string sCuando;              // when it is, as shown
    int64_t dInicioAlarmas = 0;       // reminder time; 0 when none is known
    int64_t dStartTime = 0;
    int64_t dEndTime = 0;
    bool bModificada = false;         // changed on the server since its last reminder
    bool bPendienteDeMostrar = false; // a balloon was asked for and the shell has not shown it yet
    std::string id, name, recur, invId, d, status, loc, l, T, compNum, fb, x_uid, fba, ptst, transp, allDay, isOrg;
    std::string ridZ; // the instance as the server names it, to cancel that one occurrence of a series
};

class IApptItem : public ApptFields
{
public:
    virtual ~IApptItem() = default;
    // Shows the item's own icon with a balloon: the first line is its title, the rest its text.
    virtual void Iconizar(const std::string& sDescripcion) = 0;
    virtual int GetTag() const = 0;
};

// Items keep their positions for the program's life; a discarded item leaves an empty place and its icon goes.
class IApptItemList
{
public:
    virtual ~IApptItemList() = default;
    virtual IApptItem* FindApptItem(const std::string& sId) = 0;
    virtual IApptItem* ApptItemAt(int nTag) = 0; // nullptr for an empty slot
    virtual IApptItem& AddApptItem() = 0;
    virtual void DiscardApptItem(int nTag) = 0;
    // Every item in order of position; the callback may discard the item it is given.
    virtual void ForEachApptItem(const std::function<void(IApptItem&)>& fnEach) = 0;
};

} // namespace qv
