#!/usr/bin/env bash
# Installs every package the build, the program under Wine and the tests need, without prompting.
# Both README commands run this; it is quick when everything is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config python3 git openssl
  libgtest-dev libgmock-dev libpugixml-dev libcurl4-openssl-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 libz-mingw-w64-dev zlib1g-dev dpkg-dev
  wine wine64 xvfb xdotool imagemagick x11-utils
)

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

export DEBIAN_FRONTEND=noninteractive
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows build compiles pugixml from Debian's own source package (no copy lives in this repository).
here=$(cd "$(dirname "$0")/.." && pwd)
dest="$here/third_party/pugixml-src"
if [ ! -f "$dest/src/pugixml.cpp" ]; then
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    # Mirror the machine's own binary sources as source entries; no host name is written here.
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      sed 's/^Types:.*/Types: deb-src/' "$f" | "${sudo_cmd[@]}" tee "/etc/apt/sources.list.d/quorvel-src-$(basename "$f")" >/dev/null
    done
    if [ -f /etc/apt/sources.list ]; then
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quorvel-src.list >/dev/null || true
    fi
    "${sudo_cmd[@]}" apt-get update -q
  fi
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -q --download-only pugixml >/dev/null && dpkg-source -x --no-check pugixml_*.dsc src >/dev/null)
  mkdir -p "$dest"
  cp -r "$tmp/src/src" "$dest/"
  rm -rf "$tmp"
fi
echo "Dependencies ready."
