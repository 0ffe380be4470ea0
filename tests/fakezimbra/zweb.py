"""Routing of the built-in emulation, and the non-SOAP services the program meets: the
OPTIONS probe, the raw upload servlet, the pre-authentication redirect, the web client page.
Each answer is (status, [(header, value)], body bytes)."""

import email.parser
import email.utils
import http.cookies
import re
import urllib.parse

import zsoap

ALLOW = "GET, HEAD, POST, TRACE, OPTIONS"  # the servlet container's own answer to OPTIONS
HTML = ("Content-Type", "text/html; charset=utf-8")
REQUEST_ID = re.compile(r"[a-zA-Z0-9_.-]+")
PREAUTH_FIELDS = {"account", "by", "timestamp", "expires", "preauth", "admin", "isredirect", "authtoken",
                  "redirectURL"}


def emulate(mbox, request, options):
    path, _, query = request.path.partition("?")
    method = request.method
    if method == "OPTIONS":
        return 200, [("Allow", ALLOW)], b""
    if path.startswith("/service/soap"):
        if method == "POST":
            return zsoap.answer(mbox, request.body, options)
        return error_page(405, "HTTP method GET is not supported by this URL")
    if path == "/service/upload" and method == "POST":
        return upload(mbox, urllib.parse.parse_qs(query), request.headers, request.body)
    if path == "/service/preauth" and method == "GET":
        return preauth(mbox, urllib.parse.parse_qsl(query, keep_blank_values=True), request.headers)
    if path.startswith("/zimbra") and method == "GET":
        return webmail(mbox, request.headers)
    return error_page(404, "Not Found")


def error_page(status, message):
    body = (f"<html><head><title>Error {status} {message}</title></head>"
            f"<body><h2>HTTP ERROR {status}</h2><p>{message}</p></body></html>\n")
    return status, [HTML], body.encode("utf-8")


def cookie_token(headers):
    jar = http.cookies.SimpleCookie()
    try:
        for value in headers.get_all("Cookie") or []:
            jar.load(value)
    except http.cookies.CookieError:
        return ""
    return jar["ZM_AUTH_TOKEN"].value if "ZM_AUTH_TOKEN" in jar else ""


# ---- /service/upload ----

def upload(mbox, query, headers, body):
    """The upload servlet answers HTTP 200 whatever happens; the real status is the number
    that starts the body. Only the ZM_AUTH_TOKEN cookie authenticates."""
    raw = "raw" in query.get("fmt", [""])[0].split(",")
    if mbox.token_state(cookie_token(headers)) != "valid":
        return upload_reply(raw, 401, None)
    try:
        files, request_id = read_upload(headers, body)
    except ValueError:
        return upload_reply(raw, 500, None)
    if request_id is not None and not REQUEST_ID.fullmatch(request_id):
        return upload_reply(raw, 400, None)
    if not files:
        return upload_reply(raw, 204, request_id)
    if mbox.max_size and sum(len(data) for _, data, _ in files) > mbox.max_size:
        return upload_reply(raw, 413, None)
    aids = [mbox.add_upload(name, data, content_type) for name, data, content_type in files]
    return upload_reply(raw, 200, request_id, ",".join(aids))


def read_upload(headers, body):
    """([(file name, bytes, content type)], last requestId or None). A field whose name
    starts with "filename" lists names, one a line, for the file parts that follow it;
    names are kept literally (an encoded word stays encoded)."""
    content_type = headers.get("Content-Type", "")
    if not content_type.lower().startswith("multipart/"):
        disposition = email.message_from_string(f"Content-Disposition: {headers.get('Content-Disposition', '')}\n\n")
        name = disposition.get_param("filename", "", "content-disposition")
        return [(email.utils.collapse_rfc2231_value(name), body, content_type)], None
    form = email.parser.BytesParser().parsebytes(b"Content-Type: " + content_type.encode("latin-1") + b"\r\n\r\n" + body)
    if not form.is_multipart():
        raise ValueError("no multipart body")
    names, files, request_id = [], [], None
    for part in form.get_payload():
        field = email.utils.collapse_rfc2231_value(part.get_param("name", "", "content-disposition"))
        filename = email.utils.collapse_rfc2231_value(part.get_param("filename", "", "content-disposition"))
        data = part.get_payload(decode=True) or b""
        if filename:
            files.append((names.pop(0) if names else filename, data, part.get("Content-Type")))
        elif field == "requestId":
            request_id = data.decode("utf-8", "replace")
        elif field.startswith("filename"):
            names = data.decode("utf-8", "replace").splitlines()
    return files, request_id


def upload_reply(raw, code, *fields):
    args = ",".join([str(code)] + [f"'{'null' if field is None else field}'" for field in fields])
    if raw:
        text = args + "\n"
    else:
        text = ("<html><head><script language='javascript'>\n"
                f"function doit() {{ window.parent._uploadManager.loaded({args}); }}\n"
                "</script></head><body onload='doit()'></body></html>\n")
    return 200, [HTML], text.encode("utf-8")


# ---- /service/preauth ----

def preauth(mbox, fields, headers):
    """The token form: the token passed is for one use only; the browser gets a new one in
    the cookie, and the old one is revoked (the program's own SOAP token then expires)."""
    given = dict(fields)
    token = given.get("authtoken", "")
    if not token:
        return error_page(400, "preauth mismatch")  # the key-based form is not modelled
    if mbox.token_state(token) != "valid":
        return error_page(400, "auth token expired")
    target = redirect_target(mbox.config, given.get("redirectURL"))
    if target is None:
        return error_page(400, "redirect url is not allowed")
    extra = [(k, v) for k, v in fields if k not in PREAUTH_FIELDS]
    if extra:
        target += ("&" if "?" in target else "?") + urllib.parse.urlencode(extra)
    if "://" not in target:
        target = f"http://{headers.get('Host', '127.0.0.1')}{target}"  # the container makes it absolute
    mbox.revoke(token)
    fresh, _ = mbox.issue_token()
    return 302, [("Location", urllib.parse.quote(target, safe=":/?&=%#;+,@!$'()*~")),
                 ("Set-Cookie", f"ZM_AUTH_TOKEN={fresh}; Path=/; HttpOnly")], b""


def redirect_target(config, url):
    """Where the redirect goes, by server generation ("preauth_redirect"): "verbatim" (until
    2021), "strip" (scheme and host removed), "allowlist" (also must start with one of
    "preauth_allowed"; None means the server answers 400)."""
    if not url:
        return "/zimbra/mail"
    policy = config.get("preauth_redirect", "verbatim")
    if policy == "verbatim":
        return url
    parts = urllib.parse.urlsplit(url)
    local = urllib.parse.urlunsplit(("", "", parts.path, parts.query, parts.fragment))
    if policy == "allowlist" and not any(local.startswith(prefix) for prefix in config.get("preauth_allowed", [])):
        return None
    return local


# ---- /zimbra/mail ----

def webmail(mbox, headers):
    if mbox.token_state(cookie_token(headers)) == "valid":
        unread = mbox.folder(2).get("u", 0)
        title = f"Zimbra: Inbox ({unread})" if unread else "Zimbra: Inbox"
    else:
        title = "Zimbra Web Client Sign In"
    return 200, [HTML], f"<html><head><title>{title}</title></head><body></body></html>\n".encode("utf-8")
