#!/usr/bin/env bash
# The plug-in's sources through a second compiler: clang and lld for the same
# target (cmake/i686-w64-mingw32-clang.cmake), its warnings as errors (the
# set is in CMakeLists.txt), with clang-tidy run on each source as it is
# compiled (checks in .clang-tidy). Only the module is built, never shipped;
# linking it checks the export file as well.
#   clang-check.sh SOURCE BUILD CLANG_TIDY
set -euo pipefail
source=$1 build=$2 tidy=$3
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/i686-w64-mingw32-clang.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DNIGHTCAP_TESTS=OFF -DCMAKE_CXX_CLANG_TIDY="$tidy;--quiet" >/dev/null
cmake --build "$build" --target gen_Nightcap -j "$(nproc)" -- --no-print-directory
