#!/usr/bin/env bash
# Starts the local site on a free port, lays out a demo program folder whose config.ini
# points at it, and starts the program there. The site stops when the program ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
site_bin=$build/tools/devsite/devsite
program=$build/program
if [[ ! -x $site_bin || ! -x $program/quivra-downloader ]]; then
    echo "Build first (make build): $site_bin or $program/quivra-downloader is missing." >&2
    exit 1
fi

site_out=$(mktemp)
"$site_bin" --port 0 >"$site_out" 2>&1 &
site_pid=$!
cleanup() {
    kill "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
    rm -f "$site_out"
}
trap cleanup EXIT

# The first start makes the sample media with ffmpeg, which takes a few seconds.
base=
for _ in $(seq 1 1200); do
    base=$(sed -n 's/^devsite listening on //p' "$site_out" | head -n 1)
    [[ -n $base ]] && break
    if ! kill -0 "$site_pid" 2>/dev/null; then
        cat "$site_out" >&2
        exit 1
    fi
    sleep 0.1
done
[[ -n $base ]] || { echo "The local site did not start." >&2; exit 1; }

demo=$root/demo
mkdir -p "$demo/downloads"
cp -a "$program/." "$demo/"

# config.ini: keep what the program stored before (login, settings), point [site] at the
# site of this run. The file holds the login cookie, so only its owner may read it.
config=$demo/config.ini
umask 077
kept=
if [[ -f $config ]]; then
    kept=$(awk '/^[ \t]*\[/ { skip = (tolower($0) ~ /^[ \t]*\[site\]/) } !skip' "$config")
else
    kept=$(printf '[download]\ndirectory=%s\nthreadNumber=3\n' "$demo/downloads")
fi
{
    printf '%s\n' "$kept"
    printf '[site]\napi=%s\nlogin=%s\nmain=%s\nspace=%s\n' "$base" "$base" "$base" "$base"
} >"$config.new"
mv "$config.new" "$config"

cat <<TEXT
Local site: $base  (control: $base/_devsite/log, see tools/devsite/README.md)
Demo program folder: $demo

Addresses to paste into the main window:
  $base/video/BV1xx411c7mD    one part
  $base/video/BV17x411w7KC    twelve parts
  $base/video/BV1Q4411c7Tt    a title full of blanks, slashes, punctuation and Chinese
  $base/video/BV1Ff411c7Er    its streams fail (404)
  av170001                    the twelve-part video by its av number
Log in as a member (4K and 1080P60 open up): paste the cookie
  SESSDATA=member-sessdata
on the cookie page of the login window, or use the QR page (the site confirms by itself
after two polls). SESSDATA=plain-sessdata logs in as a user without membership.
TEXT

cd "$demo"
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "No DISPLAY: starting the program under xvfb-run -a (invisible)."
    xvfb-run -a ./quivra-downloader
else
    ./quivra-downloader
fi
