#!/usr/bin/env bash
# Installs the library from a build tree into a scratch prefix and builds a
# small program against it with pkg-config alone.
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
