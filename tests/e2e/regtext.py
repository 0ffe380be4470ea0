"""The prefix's registry from outside the program: the .reg text `reg import` reads and `reg export` writes, the
table `reg query` prints, and the methods a test session uses to run them."""

import re
import time

from winetools import EnvError


def reg_file_text(entries):
    """A .reg file for `reg import`: entries are (key, name, type, data) with type REG_SZ, REG_DWORD or REG_BINARY;
    REG_SZ data given as bytes is stored as exactly those bytes."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    keys = {}
    for key, name, kind, data in entries:
        keys.setdefault(key, []).append((name, kind, data))
    for key, values in keys.items():
        lines.append(f"[{expand_root(key)}]")
        for name, kind, data in values:
            quoted = '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'
            if kind == "REG_SZ" and isinstance(data, bytes):
                # Exact bytes, for a string whose stored size is itself under test (extra terminators, none).
                lines.append(quoted + "=hex(1):" + ",".join(f"{b:02x}" for b in data))
            elif kind == "REG_SZ":
                lines.append(quoted + '="' + data.replace("\\", "\\\\").replace('"', '\\"') + '"')
            elif kind == "REG_DWORD":
                lines.append(quoted + f"=dword:{int(data):08x}")
            elif kind == "REG_BINARY":
                lines.append(quoted + "=hex:" + ",".join(f"{b:02x}" for b in bytes(data)))
            else:
                raise EnvError(f"reg_file_text: unsupported type {kind}")
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def expand_root(key):
    for short, long in (("HKCU\\", "HKEY_CURRENT_USER\\"), ("HKLM\\", "HKEY_LOCAL_MACHINE\\")):
        if key.upper().startswith(short):
            return long + key[len(short):]
    return key


def parse_reg_query(text):
    """`reg query KEY` output as {name: (type, data)}; the default value is named ''."""
    values = {}
    for line in text.splitlines():
        if not line.startswith("    ") or line.startswith("     "):
            continue
        parts = line[4:].split("    ", 2)
        if len(parts) < 2 or not parts[1].startswith("REG_"):
            continue
        name = "" if parts[0] == "(Default)" else parts[0]
        values[name] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values



_EXPORTED_TEXT = re.compile(r'^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"$')


def parse_reg_export(text):
    """The text values of an exported key as {name: text}; `reg export` writes UTF-16, so unlike `reg query`
    through a pipe (Wine's OEM code page, 437) it loses no character."""
    values = {}
    for line in text.splitlines():
        match = _EXPORTED_TEXT.match(line)
        if match:
            unescape = lambda quoted: re.sub(r"\\(.)", r"\1", quoted)  # noqa: E731
            values[unescape(match.group(1))] = unescape(match.group(2))
    return values


class PrefixRegistry:
    """Registry helpers for a session that has run(program, *args, ...) and a prefix folder."""

    def reg_values(self, key):
        """Every value of a key as {name: (type, data)}; None when the key is missing. Characters outside Wine's
        OEM code page come out as "?": use reg_export_texts for those."""
        code, out = self.run("reg", "query", key, timeout=30)
        if code != 0:
            return None
        return parse_reg_query(out)

    def reg_query(self, key, value):
        """A value's data as text, or None when it is missing."""
        values = self.reg_values(key) or {}
        entry = values.get(value)
        return entry[1] if entry else None

    def reg_add(self, key, value, data, kind="REG_SZ"):
        self.run("reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f", timeout=30, check=True)

    def reg_import(self, entries):
        """Writes many values in one go: entries are (key, name, type, data) as for reg_file_text."""
        path = self.prefix / "drive_c" / f"import-{time.monotonic_ns()}.reg"
        path.write_bytes(b"\xff\xfe" + reg_file_text(entries).encode("utf-16-le"))
        try:
            self.run("reg", "import", "C:\\" + path.name, timeout=30, check=True)
        finally:
            path.unlink(missing_ok=True)

    def reg_export_texts(self, key):
        """The text values of a key as {name: text}, read through `reg export`; None when the key is missing."""
        path = self.prefix / "drive_c" / f"export-{time.monotonic_ns()}.reg"
        try:
            code, _ = self.run("reg", "export", key, "C:\\" + path.name, "/y", timeout=30)
            if code != 0 or not path.is_file():
                return None
            return parse_reg_export(path.read_bytes().decode("utf-16"))
        finally:
            path.unlink(missing_ok=True)
