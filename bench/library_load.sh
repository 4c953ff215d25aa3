#!/bin/sh
# What loading shared libraries costs a command at its start: CPU time (perf stat, mean of
# 40 runs) of an empty program linked with each library the command programs load, and of
# both command programs' --version (start and exit only).
# Usage: bench/library_load.sh   (BUILD names the build folder, default build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo 'int main() { return 0; }' >"$work/empty.cpp"

cpu() {  # the mean task-clock of a command, in ms
  perf stat -r 40 -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { printf "%.1f ms", $1 }'
}

for libs in "" "-lQt6Core" "-lcurl" "-laria2" "-lsqlite3" "-lQt6Core -lcurl -lpcre2-8 -lqrencode" \
            "-lQt6Core -lcurl -lpcre2-8 -lqrencode -laria2 -lsqlite3"; do
  # shellcheck disable=SC2086
  g++ "$work/empty.cpp" -o "$work/empty" -Wl,--no-as-needed $libs
  echo "empty program ${libs:-(libc only)}: $(cpu "$work/empty")"
done
for program in quivra-downloader quivra-downloader-downloads; do
  echo "$program --version: $(cpu "$build/program/$program" --version)"
done
