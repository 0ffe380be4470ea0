#!/usr/bin/env python3
"""Where the private memory of Quorvel.exe under Wine lies, next to a minimal tray program's.

    bench/wine_memory_map.py [--build build/win64] [--settings] [--top 25]

Run by hand, never by ctest: it prints figures and asserts nothing. Wine's PagefileUsage of a process is the
anonymous resident memory of its Linux process (RssAnon), so the map reads /proc/PID/smaps of both Wine processes
and sums the anonymous pages by mapping: a DLL or .so file name (pages of it written to: relocations, data), or
[heap], or an unnamed region (the Windows heaps, Wine's own allocations, thread stacks). The program is signed in to
the fake server and read after its first check; --settings also shows and hides the settings window first.
Everything it started is stopped at the end.
"""

import argparse
import collections
import os
import re
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True
SOURCE_ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE_ROOT / "tests" / "e2e"))
sys.path.insert(0, str(SOURCE_ROOT / "bench"))
import wine_memory  # noqa: E402
import wineenv  # noqa: E402

KILOBYTE = 1024
HEADER = re.compile(r"^[0-9a-f]+-[0-9a-f]+ \S+ \S+ \S+ \S+\s*(.*)$")


def linux_pid(prefix, exe_name):
    """The Linux process of the prefix that runs exe_name (its command line names the exe)."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            environ = (entry / "environ").read_bytes()
        except OSError:
            continue
        if exe_name.lower() in cmdline.lower() and f"WINEPREFIX={prefix}".encode() in environ:
            return int(entry.name)
    raise wineenv.EnvError(f"no Linux process runs {exe_name} in {prefix}")


def anonymous_by_mapping(pid):
    """{mapping name: anonymous kB} from /proc/PID/smaps; unnamed regions are "(anonymous)"."""
    sums = collections.Counter()
    name = None
    for line in Path(f"/proc/{pid}/smaps").read_text(errors="replace").splitlines():
        header = HEADER.match(line)
        if header and not line.split(" ", 1)[0].endswith(":"):
            name = header.group(1).strip() or "(anonymous)"
            name = os.path.basename(name) if name.startswith("/") else name
            continue
        if line.startswith("Anonymous:"):
            sums[name] += int(line.split()[1])
    return sums


def largest_anonymous(pid, count=12):
    """The unnamed regions with the most anonymous pages: (kB, address range, permissions)."""
    regions, current = [], None
    for line in Path(f"/proc/{pid}/smaps").read_text(errors="replace").splitlines():
        header = HEADER.match(line)
        if header and not line.split(" ", 1)[0].endswith(":"):
            fields = line.split()
            current = [0, fields[0], fields[1]] if not header.group(1).strip() else None
            if current:
                regions.append(current)
        elif current and line.startswith("Anonymous:"):
            current[0] = int(line.split()[1])
    return sorted(regions, reverse=True)[:count]


def rss_anon(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("RssAnon:"):
            return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.environ.get("QUORVEL_WIN64_DIR") or str(SOURCE_ROOT / "build" / "win64"))
    parser.add_argument("--settings", action="store_true", help="show and hide the settings window first")
    parser.add_argument("--top", type=int, default=25, help="mappings to list (25)")
    options = parser.parse_args()
    build = Path(options.build).resolve()
    os.environ["QUORVEL_WIN64_DIR"] = str(build)
    try:
        with wineenv.WineEnv("wine_memory_map") as env:
            port = env.start_fake_server(lifetime=300)
            env.reg_import([
                (wine_memory.SETTINGS_KEY, "ZimbraHost", "REG_SZ", f"127.0.0.1:{port}"),
                (wine_memory.SETTINGS_KEY, "Username", "REG_SZ", "alice"),
                (wine_memory.SETTINGS_KEY, "Password", "REG_SZ", "text:secret"),
                (wine_memory.SETTINGS_KEY, "Ventana", "REG_SZ", "0"),
            ])
            env.spawn(env.install(wineenv.find_helper("qvtray.exe"), folder="QvTray"), "600", log_name="qvtray")
            env.spawn(env.install(build / "Quorvel.exe"), log_name="quorvel")
            deadline = time.monotonic() + wine_memory.STEP_BOUND
            while not any("<AuthRequest" in r.get("body", "") for r in env.server_requests()):
                if time.monotonic() > deadline:
                    raise wineenv.EnvError("no login within the bound")
                time.sleep(0.05)
            if options.settings:
                env.probe("post", "STATIC", "QuorvelTrayIconWnd", "0x111", "102", "0")
                env.probe("wait-visible", "QuorvelSettingsWnd", "Quorvel", "20")
                env.probe("click", "QuorvelSettingsWnd", "Quorvel", "&Close")
                env.probe("wait-hidden", "QuorvelSettingsWnd", "Quorvel", "20")
            time.sleep(wine_memory.SETTLE)
            maps = {}
            for exe_name in ("qvtray.exe", "Quorvel.exe"):
                pid = linux_pid(env.prefix, exe_name)
                figures = wine_memory.memory(env, exe_name)
                maps[exe_name] = anonymous_by_mapping(pid)
                threads = len(list(Path(f"/proc/{pid}/task").iterdir()))
                regions = ", ".join(f"{kb} kB {span} {perm}" for kb, span, perm in largest_anonymous(pid))
                print(f"{exe_name}: {threads} threads; largest unnamed regions: {regions}")
                print(f"{exe_name}: PagefileUsage {figures['pagefile'] / KILOBYTE:.0f} kB, RssAnon {rss_anon(pid)} kB, "
                      f"smaps anonymous {sum(maps[exe_name].values())} kB")
    except wineenv.EnvError as error:
        print(f"wine_memory_map: {error}", file=sys.stderr)
        return 1
    names = set(maps["Quorvel.exe"]) | set(maps["qvtray.exe"])
    rows = sorted(names, key=lambda n: maps["Quorvel.exe"][n] - maps["qvtray.exe"][n], reverse=True)
    print(f"  {'mapping':<36} {'Quorvel kB':>10} {'qvtray kB':>10} {'more kB':>8}")
    for name in rows[:options.top]:
        mine, tray = maps["Quorvel.exe"][name], maps["qvtray.exe"][name]
        print(f"  {name[:36]:<36} {mine:>10} {tray:>10} {mine - tray:>8}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
