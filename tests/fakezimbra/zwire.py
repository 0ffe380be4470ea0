"""XML as the server writes it: one line, no declaration, the literal prefix soap:."""

import os
import secrets
import threading
import time
import xml.etree.ElementTree as ET

SOAP12_NS = "http://www.w3.org/2003/05/soap-envelope"


def esc(text):
    return str(text).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def esc_attr(value):
    return esc(value).replace('"', "&quot;")


class E:
    """An element to write. Attributes keep insertion order and None values are left out,
    so builders can list every attribute in the server's order and drop the absent ones.
    A child may be a ready-made XML string (notify blocks, scenario fragments)."""

    __slots__ = ("tag", "attrs", "kids", "text")

    def __init__(self, tag, attrs=None, kids=(), text=None):
        self.tag = tag
        self.attrs = {k: v for k, v in (attrs or {}).items() if v is not None}
        self.kids = list(kids)
        self.text = text

    def write(self, out):
        out.append("<" + self.tag)
        for name, value in self.attrs.items():
            out.append(f' {name}="{esc_attr(value)}"')
        if not self.kids and not self.text:
            out.append("/>")
            return
        out.append(">")
        if self.text:
            out.append(esc(self.text))
        for kid in self.kids:
            if isinstance(kid, str):
                out.append(kid)
            else:
                kid.write(out)
        out.append(f"</{self.tag}>")

    def __str__(self):
        out = []
        self.write(out)
        return "".join(out)


def envelope(body, context=None):
    """A whole answer; context None means no Header at all (faults raised before dispatch)."""
    head = "" if context is None else f"<soap:Header>{context}</soap:Header>"
    return f'<soap:Envelope xmlns:soap="{SOAP12_NS}">{head}<soap:Body>{body}</soap:Body></soap:Envelope>'


def empty_context():
    return E("context", {"xmlns": "urn:zimbra"})


# Reason texts that clients match on; a fault given without a reason gets these.
REASONS = {
    "account.AUTH_FAILED": "authentication failed for [{}]",
    "service.AUTH_EXPIRED": "auth credentials have expired",
    "service.AUTH_REQUIRED": "no valid authtoken present",
    "service.PERM_DENIED": "permission denied: {}",
    "service.INVALID_REQUEST": "invalid request: {}",
    "service.UNKNOWN_DOCUMENT": "unknown document: {}",
    "service.PARSE_ERROR": "parse error: {}",
    "service.FAILURE": "system failure: {}",
    "mail.NO_SUCH_CALITEM": "no such appointment or task: {}",
    "mail.INVITE_OUT_OF_DATE": "invite out of date: {}",
    "mail.MUST_BE_ORGANIZER": "must be organizer of calendar item to perform this operation: {}",
    "mail.NO_SUCH_UPLOAD": "upload not found: {}",
    "mail.MESSAGE_TOO_BIG": "Message of size {} exceeded allowed size",
}

# Server-side errors are soap:Receiver; everything else blames the client.
RECEIVER_CODES = {"service.FAILURE"}


class SoapFault(Exception):
    """A Zimbra fault. header=False is for faults raised before any handler runs
    (expired token, unreadable request): the server then writes no Header."""

    def __init__(self, code, reason=None, detail="", args=(), header=True):
        super().__init__(code)
        self.code = code
        self.reason = reason if reason is not None else REASONS.get(code, code).format(detail)
        self.args_ = list(args)
        self.header = header

    @classmethod
    def from_json(cls, given):
        """Fault described in a scenario: {"code", "reason"?, "detail"?, "args"?: [[n, t, v]], "header"?}."""
        code = given.get("code", "service.FAILURE")
        header = given.get("header", code != "service.AUTH_EXPIRED")
        return cls(code, given.get("reason"), given.get("detail", ""), given.get("args", ()), header)

    def element(self):
        side = "soap:Receiver" if self.code in RECEIVER_CODES else "soap:Sender"
        args = [E("a", {"n": n, "t": t}, text=str(v)) for n, t, v in self.args_]
        error = E("Error", {"xmlns": "urn:zimbra"}, [E("Code", text=self.code), E("Trace", text=trace())] + args)
        return E("soap:Fault", kids=[
            E("soap:Code", kids=[E("soap:Value", text=side)]),
            E("soap:Reason", kids=[E("soap:Text", text=self.reason)]),
            E("soap:Detail", kids=[error]),
        ])

    def answer(self):
        return envelope(self.element(), empty_context() if self.header else None)


def trace():
    # <thread name>:<ms>:<hex id>, like the server's container threads
    return f"qtp{os.getpid()}-{threading.get_ident() % 1000}:{int(time.time() * 1000)}:{secrets.token_hex(8)}"


def local(tag):
    return tag.rsplit("}", 1)[-1]


def child(element, name):
    if element is None:
        return None
    return next((kid for kid in element if local(kid.tag) == name), None)


def children(element, name):
    return [kid for kid in element if local(kid.tag) == name]


def child_text(element, name, default=""):
    found = child(element, name)
    return default if found is None else (found.text or "")


def parse_request(raw):
    """(context element or None, request element) of a SOAP request, matched by local names
    so that prefixed and default-namespace envelopes read the same."""
    try:
        root = ET.fromstring(raw)
    except ET.ParseError as error:
        raise SoapFault("service.PARSE_ERROR", detail=str(error), header=False) from None
    if local(root.tag) != "Envelope":
        raise SoapFault("service.INVALID_REQUEST", detail="no SOAP envelope", header=False)
    body = child(root, "Body")
    request = None if body is None else next(iter(body), None)
    if request is None:
        raise SoapFault("service.INVALID_REQUEST", detail="no SOAP body", header=False)
    return child(child(root, "Header"), "context"), request
