#!/usr/bin/env bash
# Installs the library from a build tree into a scratch prefix and builds a
# small program against it twice: with pkg-config alone, and as a CMake
# project that finds the package.
# Usage: check.sh <build-dir> <source-dir> [extra compiler flags...]
set -euo pipefail
build=$1 src=$2
shift 2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(dirname "$(find "$prefix" -name zandrelbase.pc)")")
export PKG_CONFIG_PATH="$libdir/pkgconfig"
test -f "$prefix/include/zandrel/ZandrelBase.h"
test -L "$libdir/libZandrelBase.so.2"
# shellcheck disable=SC2046
c++ -std=c++20 "$@" "$src/tests/install/consumer.cpp" -o "$prefix/consumer" \
  $(pkg-config --define-prefix --cflags --libs zandrelbase) -Wl,-rpath,"$libdir"
"$prefix/consumer"

cmake -S "$src/tests/install" -B "$prefix/consumer-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$*" -DCMAKE_EXE_LINKER_FLAGS="$*" >/dev/null
cmake --build "$prefix/consumer-build" >/dev/null
"$prefix/consumer-build/consumer"
