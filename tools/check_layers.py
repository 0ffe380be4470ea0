#!/usr/bin/env python3
"""Fails when a source file includes a folder above its own or beside it.

The layers, lowest first: platform/ (the interfaces), then the feature folders, then app/. platform/win32,
platform/fake and platform/posix implement the interfaces: they see platform/ and themselves only. A Windows
header belongs in platform/win32 and app/WinMain.cpp alone, so that the core builds anywhere.

Usage: check_layers.py [ROOT]   (ROOT: the repository; default, this script's parent folder)
"""
import re
import sys
from pathlib import Path

FEATURES = ("session", "presentation", "settings", "webmail", "sending")
IMPLEMENTATIONS = ("platform/win32", "platform/fake", "platform/posix")
WINDOWS_HEADERS = {
    "windows.h", "winsock2.h", "ws2tcpip.h", "winhttp.h", "wininet.h", "shellapi.h", "shlobj.h", "shobjidl.h",
    "commctrl.h", "objbase.h", "mmsystem.h", "psapi.h", "winreg.h", "winuser.h", "tlhelp32.h", "winver.h",
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
SOURCES = (".h", ".hpp", ".cpp", ".cc")


def layer_of(relative):
    """The folder a file belongs to, as the rules name it."""
    parts = relative.split("/")
    if parts[0] == "platform" and len(parts) > 2:
        return "platform/" + parts[1]
    return parts[0]


def allowed(layer, relative_file):
    """The folders a file of this layer may include."""
    if layer == "platform":
        return {"platform"}
    if layer in IMPLEMENTATIONS:
        return {"platform", layer}
    if layer in FEATURES:
        return {"platform", layer}
    if layer == "app":
        extra = {"platform/win32"} if relative_file == "app/WinMain.cpp" else set()
        return {"platform", "app", *FEATURES} | extra
    return None


def may_use_windows_headers(layer, relative_file):
    return layer == "platform/win32" or relative_file == "app/WinMain.cpp"


def check(root):
    """Every forbidden include under root, as 'file:line: message' lines."""
    problems = []
    for folder in ("platform", "app", *FEATURES):
        base = root / folder
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            relative = path.relative_to(root).as_posix()
            layer = layer_of(relative)
            permitted = allowed(layer, relative)
            if permitted is None:
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                line = text.count("\n", 0, match.start()) + 1
                kind, name = match.groups()
                if kind == "<":
                    if name.lower() in WINDOWS_HEADERS and not may_use_windows_headers(layer, relative):
                        problems.append(f"{relative}:{line}: Windows header <{name}> outside platform/win32")
                    continue
                if "/" not in name:
                    continue  # a file beside this one, or a generated header of the same target
                target = layer_of(name)
                if target == "platform/win32" and name == "platform/win32/Win32.h" and \
                        not may_use_windows_headers(layer, relative):
                    problems.append(f"{relative}:{line}: Windows header {name} outside platform/win32")
                    continue
                if target not in permitted:
                    problems.append(f"{relative}:{line}: {layer}/ may not include {name}")
    return problems


def main():
    root = Path(sys.argv[1]).resolve() if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent
    problems = check(root)
    for problem in problems:
        print(problem)
    print(f"{'layers broken' if problems else 'layers kept'}: {len(problems)} forbidden include(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
