"""Registry text in and out: the .reg file `reg import` reads, and the table `reg query` prints."""

from winetools import EnvError


def reg_file_text(entries):
    """A .reg file for `reg import`: entries are (key, name, type, data) with type REG_SZ, REG_DWORD or REG_BINARY."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    keys = {}
    for key, name, kind, data in entries:
        keys.setdefault(key, []).append((name, kind, data))
    for key, values in keys.items():
        lines.append(f"[{expand_root(key)}]")
        for name, kind, data in values:
            quoted = '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'
            if kind == "REG_SZ":
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

