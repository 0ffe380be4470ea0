"""The balloons a desktop showed, read from the log of an explorer started with WINEDEBUG=+tooltips,+timestamp
(Wine 8's comctl32 does not answer TTM_GETTITLE, so the log is the only witness of a balloon's title)."""

import re
import struct
from pathlib import Path


_WINE_STRING = r'L"((?:[^"\\]|\\.)*)"(\.\.\.)?'
_TRACE = re.compile(r"^(?P<time>\d+\.\d+):(?P<thread>[0-9a-fA-F]+):trace:tooltips:(?P<rest>.*)$")
_SET_TITLE = re.compile(r"TOOLTIPS_SetTitleT hwnd = (?P<hwnd>[0-9A-Fa-f]+), title = " + _WINE_STRING)
_SHOW_PRE = re.compile(r"TOOLTIPS_Show Show tooltip pre \d+, (?P<hwnd>[0-9A-Fa-f]+)")
_SHOW = re.compile(r"TOOLTIPS_Show Show tooltip \d+, " + _WINE_STRING + r", size")


def decode_wine_string(escaped):
    """The text of a Wine trace string (debugstr_w): \\n \\r \\t \\" \\\\ and \\XXXX for every other unit
    outside printable ASCII. Lone surrogates stay in the result, so a test can find them."""
    units = []
    i = 0
    while i < len(escaped):
        c = escaped[i]
        if c != "\\":
            units.append(ord(c))
            i += 1
            continue
        following = escaped[i + 1:i + 2]
        if following in ("n", "r", "t", '"', "\\"):
            units.append(ord({"n": "\n", "r": "\r", "t": "\t"}.get(following, following)))
            i += 2
        else:
            units.append(int(escaped[i + 1:i + 5], 16))
            i += 5
    return b"".join(struct.pack("<H", u) for u in units).decode("utf-16-le", errors="surrogatepass")


class Balloon:
    def __init__(self, seconds, hwnd, title, text, title_cut, text_cut):
        self.seconds = seconds  # Wine's own clock, for order and gaps only
        self.hwnd = hwnd
        self.title = title
        self.text = text
        # Wine's tracing writes at most about 290 characters of a string and marks the rest "...".
        self.title_cut = title_cut
        self.text_cut = text_cut

    def __repr__(self):
        return f"Balloon({self.title!r}, {self.text!r}{', cut in the log' if self.text_cut else ''})"


def balloons_in_log(path):
    """Every balloon an explorer started with WINEDEBUG=+tooltips,+timestamp showed: a tooltip that got a title
    (icon tooltips never do) and was then shown with its text."""
    try:
        lines = Path(path).read_text(encoding="ascii", errors="replace").splitlines()
    except OSError:
        return []
    titles, current, found = {}, {}, []
    for line in lines:
        trace = _TRACE.match(line)
        if not trace:
            continue
        rest, thread = trace.group("rest"), trace.group("thread")
        match = _SET_TITLE.match(rest)
        if match:
            titles[match.group("hwnd").lower()] = (decode_wine_string(match.group(2)), bool(match.group(3)))
            continue
        match = _SHOW_PRE.match(rest)
        if match:
            current[thread] = match.group("hwnd").lower()
            continue
        match = _SHOW.match(rest)
        if match and current.get(thread) in titles:
            hwnd = current[thread]
            title, title_cut = titles.pop(hwnd)
            found.append(Balloon(float(trace.group("time")), hwnd, title, decode_wine_string(match.group(1)),
                                 title_cut, bool(match.group(2))))
    return found

