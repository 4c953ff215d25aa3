#!/bin/sh
# Times one large paced download: our engine, aria2c with 16 connections and a single
# curl connection, all against the same local site in one run, and prints the ratios.
# Usage: bench/download_bench.sh [MiB (256)] [bytes per second per connection (4000000)]
# BUILD names the build folder (default: build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
[ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target download_bench -j2 >/dev/null
exec "$build/bench/download_bench" "$@"
