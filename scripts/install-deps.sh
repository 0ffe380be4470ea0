#!/usr/bin/env bash
# Installs every package the build, the program under Wine and the tests need, without prompting.
# Both README commands run this; it is quick when everything is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config python3 git openssl
  libgtest-dev libgmock-dev libpugixml-dev libpcre2-dev libcurl4-openssl-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 libz-mingw-w64-dev zlib1g-dev dpkg-dev unzip
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

# The Windows build compiles pugixml and PCRE2 from Debian's own source packages (no copy lives in this
# repository); the fuzzing build compiles them too, so that the fuzzer follows their branches.
here=$(cd "$(dirname "$0")/.." && pwd)

source_entries_ready=0
ensure_source_entries() {
  [ "$source_entries_ready" = 1 ] && return
  source_entries_ready=1
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
}

# Unpacks source package $1 into folder $2 (a temporary one); each further argument is a pinned version to try
# when the newest source cannot be fetched (a security update's source is not always on the mirror).
unpack_source() {
  local name=$1 into=$2
  shift 2
  ensure_source_entries
  local version
  for version in "" "$@"; do
    rm -f "$into"/*.dsc
    if (cd "$into" && apt-get source -q --download-only "$name${version:+=$version}" >/dev/null 2>&1) &&
      (cd "$into" && dpkg-source -x --no-check "$name"_*.dsc src >/dev/null); then
      return 0
    fi
    echo "Could not fetch the source of $name${version:+ $version}; trying an older one." >&2
  done
  echo "No source package of $name could be fetched." >&2
  return 1
}

dest="$here/third_party/pugixml-src"
if [ ! -f "$dest/src/pugixml.cpp" ]; then
  tmp=$(mktemp -d)
  unpack_source pugixml "$tmp"
  mkdir -p "$dest"
  cp -r "$tmp/src/src" "$dest/"
  rm -rf "$tmp"
fi

# The whole unpacked tree: cmake/Dependencies.cmake builds it with PCRE2's own CMake.
dest="$here/third_party/pcre2-src"
if [ ! -f "$dest/CMakeLists.txt" ]; then
  tmp=$(mktemp -d)
  unpack_source pcre2 "$tmp" 10.42-1
  rm -rf "$dest"
  mkdir -p "$(dirname "$dest")"
  mv "$tmp/src" "$dest"
  rm -rf "$tmp"
fi
echo "Dependencies ready."
