#!/usr/bin/env bash
# Installs what is missing, builds the Windows program, the fuzzer and the native tests, and runs every test:
# unit, integration against the fake server, a bounded fuzzing run, and end to end under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build/win64 -j"$jobs"

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DQUORVEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz -j"$jobs"

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_WIN64_DIR="$PWD/build/win64" \
  -DQUORVEL_FUZZ_DIR="$PWD/build/fuzz/tests/fuzz"
cmake --build build/native -j"$jobs"

ctest --test-dir build/native --output-on-failure -j"$jobs" --timeout 600
