#!/usr/bin/env bash
# Installs what is missing, builds Quorvel.exe and runs it under Wine on a virtual desktop: against the fake
# Zimbra server, or against your own with `scripts/run.sh mail.example.com user`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build/win64 -j"$(nproc)"
exec python3 scripts/run.py "$@"
