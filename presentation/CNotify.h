// The relay of the appointment items' icon events to the main window, each with the item it came from.
#pragma once

#include <cstdint>
#include <string>

namespace qv
{

class INotifySink
{
public:
    virtual ~INotifySink() = default;
    virtual void objNotify_OnMouseUp(int nButton, int nSource) = 0;
    virtual void objNotify_OnBalloonClick(int nSource) = 0;
    virtual void objNotify_OnBalloonShow(int nSource) = 0;
    virtual void objNotify_OnAbreZimbra(int nSource, const std::string& sCommandLine) = 0;
    virtual void objNotify_OnUploadFile(int nSource, const std::string& sCommandLine) = 0;
    virtual void objNotify_OnMapiMensaje(int nSource, const void* lpMapiMessage, uint32_t cbData) = 0;
    virtual void objNotify_OnSettingsShowRequest(int nSource) = 0;
};

class CNotify
{
public:
    explicit CNotify(INotifySink& sink) : Sink(sink) {}
    void CallOnMouseUp(int nButton, int nSource) { Sink.objNotify_OnMouseUp(nButton, nSource); }
    void CallOnBalloonClick(int nSource) { Sink.objNotify_OnBalloonClick(nSource); }
    void CallOnBalloonShow(int nSource) { Sink.objNotify_OnBalloonShow(nSource); }
    void CallOnAbreZimbra(int nSource, const std::string& s) { Sink.objNotify_OnAbreZimbra(nSource, s); }
    void CallOnUploadFile(int nSource, const std::string& s) { Sink.objNotify_OnUploadFile(nSource, s); }
    void CallOnMapiMensage(int nSource, const void* p, uint32_t n) { Sink.objNotify_OnMapiMensaje(nSource, p, n); }
    void CallOnSettingsShowRequest(int nSource) { Sink.objNotify_OnSettingsShowRequest(nSource); }

private:
    INotifySink& Sink;
};

} // namespace qv
