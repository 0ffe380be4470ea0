// Deleting an appointment from the server's calendar, from the calendar menu of its icon: the question, one
// request, and success only when the server says the appointment was cancelled.
#pragma once

#include <functional>
#include <string>

#include "platform/Appointments.h"
#include "session/AnswerReader.h"
#include "session/ServerSession.h"

namespace qv
{

// The request's body: the whole appointment, or the one instance of a series named as the server names it.
std::string CancelRequestBody(const std::string& sInvId, const std::string& sInstance);

class Cancellation
{
public:
    // Both show a top-most message box with the style given and return the button pressed (6 for Yes).
    using BoxFn = std::function<int(const std::string& sText, int nStyle)>;
    Cancellation(ServerSession& session, AnswerReader& reader, IApptItemList& items, BoxFn fnAsk, BoxFn fnShow);

    // True when the server cancelled the appointment of the item at that position; the caller then lets the item
    // go. The item is looked up again after every box: a check may have let it go meanwhile.
    [[nodiscard]] bool CalApptCancelado(int iCalItem);

private:
    ServerSession& Session;
    AnswerReader& Reader;
    IApptItemList& Items;
    BoxFn fnAsk;
    BoxFn fnShow;
    bool bCancelling = false; // a cancellation waits for its answer
};

} // namespace qv
