"""POST /service/soap: the context header (token, session, notifications) and the requests
the program sends. Faults follow the server: a top-level fault is HTTP 500, a fault in place
of one response inside a BatchResponse keeps HTTP 200."""

import calendar
import re
import time

import zitems
from zmailbox import now_ms
from zwire import E, SoapFault, child, child_text, children, envelope, local, parse_request

SOAP_HEADERS = [("Content-Type", "text/xml; charset=utf-8"), ("Cache-Control", "no-store, no-cache")]
MAX_SUMMARY_RANGE_MS = 200 * zitems.DAY_MS
# Requests that need no token themselves; a batch's children are checked one by one.
OPEN_REQUESTS = {"AuthRequest", "BatchRequest"}


def answer(mbox, raw, options):
    """(status, headers, body bytes) for one SOAP request. options are the scenario's
    changes to the emulation: refer, refer_with_session, new_session, batch_fault."""
    with mbox.lock:
        try:
            call = Call(mbox, raw, options)
            body = call.run(call.request)
            text = envelope(body, call.context_header())
        except SoapFault as fault:
            return 500, list(SOAP_HEADERS), fault.answer().encode("utf-8")
    cookies = [("Set-Cookie", f"ZM_AUTH_TOKEN={call.new_token}; Path=/; HttpOnly")] if call.new_token else []
    return 200, SOAP_HEADERS + cookies, text.encode("utf-8")


class Call:
    """One SOAP request and what its answer's header needs."""

    def __init__(self, mbox, raw, options):
        self.mbox = mbox
        self.options = options
        self.context, self.request = parse_request(raw)
        self.authed = self._token_accepted()
        self.session = None
        self.new_token = None
        self.referred = False  # a wrong-host login: no session, no change token

    def _token_accepted(self):
        token = child_text(self.context, "authToken").strip()
        if not token:
            return False
        state = self.mbox.token_state(token)
        if state == "expired":
            # raised while the context is built: one fault, no Header, whatever the body
            raise SoapFault("service.AUTH_EXPIRED", header=False)
        return state == "valid"

    def run(self, request):
        name = local(request.tag)
        handler = HANDLERS.get(name)
        if handler is None:
            raise SoapFault("service.UNKNOWN_DOCUMENT", detail=request.tag)
        if name not in OPEN_REQUESTS and not self.authed:
            raise SoapFault("service.AUTH_REQUIRED")
        return handler(self, request)

    # ---- session ----

    def _session_request(self):
        """The context's session element. A current server reads only <session>; a legacy
        one (session_element "sessionId") named it sessionId."""
        names = ["session"] if self._session_name() == "session" else ["sessionId", "session"]
        for name in names:
            found = child(self.context, name)
            if found is not None:
                return found
        return None

    def _session_name(self):
        return self.mbox.config.get("session_element", "session")

    def open_session(self):
        """Finds or creates the session the request asked for; None when it asked for none."""
        asked = self._session_request()
        if self.session is None and asked is not None and not self.referred:
            requested = (asked.text or "").strip() or asked.get("id", "")
            if self.options.get("new_session"):
                self.mbox.drop_sessions(only=requested)
            self.session = self.mbox.session(requested)
            notify = child(self.context, "notify")
            seq = asked.get("seq") or (notify.get("seq") if notify is not None else None)
            if seq and seq.isdigit():
                self.session.acknowledge(int(seq))
        return self.session

    def session_element(self):
        return E(self._session_name(), {"id": self.session.id}, text=self.session.id)

    def context_header(self):
        kids = []
        if self.authed and self.open_session() is not None:
            kids.append(self.session_element())
            if self.session.fresh:
                kids.append(self.mbox.refresh_element())
                self.session.fresh = False
        if self.authed and not self.referred:
            kids.append(E("change", {"token": self.mbox.change}))
        if self.session is not None:
            kids.extend(self.session.notify_blocks())
        return E("context", {"xmlns": "urn:zimbra"}, kids)


# ---- handlers: (call, request element) -> response element, or raise SoapFault ----

def auth(call, request):
    mbox, options = call.mbox, call.options
    typed = child_text(request, "account")
    if not mbox.accepts(typed, child_text(request, "password")):
        raise SoapFault("account.AUTH_FAILED", detail=typed)
    call.authed = True
    call.referred = bool(options.get("refer")) and not options.get("refer_with_session")
    token, lifetime = mbox.issue_token()
    call.new_token = token
    kids = [E("authToken", text=token), E("lifetime", text=str(lifetime))]
    if call.open_session() is not None:
        kids.append(call.session_element())
    if options.get("refer"):
        kids.append(E("refer", text=options["refer"]))
    asked = child(request, "prefs")
    if asked is not None:
        wanted = {pref.get("name") for pref in children(asked, "pref")}
        kids.append(E("prefs", kids=[E("pref", {"name": name}, text=value)
                                     for name, value in mbox.prefs.items() if name in wanted]))
    kids.append(E("skin", text=mbox.config.get("skin", "harmony")))
    return E("AuthResponse", {"xmlns": "urn:zimbraAccount"}, kids)


def batch(call, request):
    stop_on_error = request.get("onerror", "continue") != "continue"
    injected = call.options.get("batch_fault")
    responses = []
    for index, sub in enumerate(kid for kid in request if isinstance(kid.tag, str)):
        try:
            if injected is not None and index == injected.get("index", 0):
                raise SoapFault.from_json(injected)
            response, failed = call.run(sub), False
        except SoapFault as fault:
            response, failed = fault.element(), True
        if sub.get("requestId") is not None:
            response.attrs["requestId"] = sub.get("requestId")
        responses.append(response)
        if failed and stop_on_error:
            break
    return E("BatchResponse", {"xmlns": "urn:zimbra"}, responses)


QUERY_TERM = re.compile(r"appt-(start|end):\s*([<>])\s*([+-]?\d+)day")


def query_admits(query, appt, now):
    """The query's appt-start and appt-end terms, as the server applies them to a series: its first start and its
    last end, however many instances lie in the window. Other terms are not interpreted."""
    starts = zitems.instance_starts(appt)
    if not starts:
        return False
    first_start, last_end = starts[0], starts[-1] + appt["dur"]
    for which, op, days in QUERY_TERM.findall(query or ""):
        value = first_start if which == "start" else last_end
        bound = now + int(days) * zitems.DAY_MS
        if (op == ">" and not value > bound) or (op == "<" and not value < bound):
            return False
    return True


def search(call, request):
    """Only appointment searches are modelled: the calExpandInst window, the appt-start and appt-end terms of the
    query, and paging with offset and limit (10 unless given, at most 1000) with "more"."""
    found = []
    if "appointment" in request.get("types", ""):
        found = call.mbox.appointments_between(int(request.get("calExpandInstStart", 0)),
                                               int(request.get("calExpandInstEnd", 2 ** 62)))
        query, now = child_text(request, "query"), now_ms()
        found = [entry for entry in found if query_admits(query, entry[0], now)]
    limit = max(1, min(int(request.get("limit", 10)), 1000))
    offset = max(0, int(request.get("offset", 0)))
    page = found[offset:offset + limit]
    attrs = {"sortBy": request.get("sortBy", "dateDesc"), "offset": str(offset),
             "more": "1" if len(found) > offset + limit else "0", "xmlns": "urn:zimbraMail"}
    return E("SearchResponse", attrs, [appointment(call, entry, legacy=False) for entry in page])


def appt_summaries(call, request):
    start, end = int(request.get("s", 0)), int(request.get("e", 0))
    if end - start > MAX_SUMMARY_RANGE_MS:
        raise SoapFault("service.INVALID_REQUEST", detail="Requested range is too large (Maximum 200 days)")
    found = call.mbox.appointments_between(start, end, request.get("l"))
    return E("GetApptSummariesResponse", {"xmlns": "urn:zimbraMail"},
             [appointment(call, entry, legacy=True) for entry in found])


def appointment(call, entry, legacy):
    appt, insts, alarm = entry
    return zitems.appointment_element(appt, insts, alarm, call.mbox.tag_names(appt["tags"]), legacy)


def save_draft(call, request):
    message = store_composed(call, request, folder=6, flags="sd")
    part = child(child(request, "m"), "mp")
    content_type = (part.get("ct") if part is not None else None) or "text/plain"
    kids = [zitems.address_element(message["from"], "f")]
    kids += [zitems.address_element(to, "t") for to in message["to"]]
    kids += [E("su", text=message["subject"]),
             E("mp", {"part": "TEXT", "ct": content_type}, [E("content", text=child_text(part, "content"))])]
    return E("SaveDraftResponse", {"xmlns": "urn:zimbraMail"}, [
        E("m", {"id": message["id"], "f": message["flags"], "rev": message["rev"], "s": message["size"],
                "d": message["date"], "l": 6, "cid": f"-{message['id']}"}, kids)])


def send_msg(call, request):
    message = store_composed(call, request, folder=5, flags="s")
    return E("SendMsgResponse", {"xmlns": "urn:zimbraMail"}, [E("m", {"id": message["id"]})])


def store_composed(call, request, folder, flags):
    """Checks the attachments the way the server does (upload ids, size limit) and stores
    the message; its notification reaches this very answer's header too."""
    mbox = call.mbox
    m = child(request, "m")
    if m is None:
        raise SoapFault("service.INVALID_REQUEST", detail="missing required element: m")
    part = child(m, "mp")
    content = child_text(part, "content") if part is not None else ""
    size = len(content.encode("utf-8"))
    has_attachment = False
    for attach in children(m, "attach"):
        for aid in filter(None, attach.get("aid", "").split(",")):
            upload = mbox.data["uploads"].get(aid)
            if upload is None:
                raise SoapFault("mail.NO_SUCH_UPLOAD", detail=aid)
            size += upload["size"]
            has_attachment = True
    if size > mbox.max_size:
        raise SoapFault("mail.MESSAGE_TOO_BIG", detail=size, args=[("maxSize", "NUM", mbox.max_size)])
    people = {kind: [f'{e.get("p", "")} <{e.get("a", "")}>'.strip() for e in children(m, "e") if e.get("t") == kind]
              for kind in ("f", "t")}
    flags = flags[0] + ("a" if has_attachment else "") + flags[1:]  # the server's fixed letter order
    return mbox.add_message({
        "folder": folder, "flags": flags, "subject": child_text(m, "su"), "fragment": content[:100],
        "from": (people["f"] or [mbox.address])[0], "to": people["t"], "size": size})


def cancel_appointment(call, request):
    mbox = call.mbox
    given = request.get("id", "")
    item_id, _, invite = given.rpartition("-")
    if not item_id:
        raise SoapFault("service.INVALID_REQUEST",
                        detail='missing invId subpart: id should be specified as "item-inv"')
    appt = mbox.appointment(item_id)
    if appt is None:
        raise SoapFault("mail.NO_SUCH_CALITEM", detail=f"{item_id}; for CancelCalendarItemRequest"
                                                       f"({item_id},{request.get('comp', '0')})")
    if str(appt["inv"]) != invite:
        raise SoapFault("mail.INVITE_OUT_OF_DATE", detail=given)
    if str(appt["folder"]) == "3":
        raise SoapFault("service.INVALID_REQUEST", detail="cannot cancel a calendar item under trash")
    if not appt["is_org"]:
        raise SoapFault("mail.MUST_BE_ORGANIZER", detail=given)
    inst = child(request, "inst")
    if inst is None:
        mbox.delete([appt["id"]])
    else:
        cancelled = instance_start(appt, inst)
        if cancelled in zitems.instance_starts(appt):
            mbox.cancel_instance(appt, cancelled)
    return E("CancelAppointmentResponse", {"xmlns": "urn:zimbraMail"})


def instance_start(appt, inst):
    """ms of an <inst d="yyyymmddThhmmss[Z]"/>. Without Z or tz the time is read in the
    appointment's own zone (zone_min east of UTC), not the client's."""
    text = inst.get("d", "")
    try:
        moment = calendar.timegm(time.strptime(text.rstrip("Z"), "%Y%m%dT%H%M%S")) * 1000
    except ValueError:
        return None
    return moment if text.endswith("Z") else moment - appt["zone_min"] * zitems.MINUTE_MS


HANDLERS = {
    "AuthRequest": auth,
    "BatchRequest": batch,
    "SearchRequest": search,
    "GetApptSummariesRequest": appt_summaries,
    "SaveDraftRequest": save_draft,
    "SendMsgRequest": send_msg,
    "CancelAppointmentRequest": cancel_appointment,
}
