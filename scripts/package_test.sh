#!/usr/bin/env bash
# The Debian package on a clean install: builds it (make package) and checks it with
# desktop-file-validate, appstreamcli and lintian; installs it with apt-get; then, as an
# unprivileged user made for the test, runs --version and info of a one-part video against
# the local site, then get of it (checked with ffprobe), and checks where the user's
# files (config.ini, downloads.db, the download) landed and their modes; removes the
# package and checks the user's files stayed. Needs root. Usage: package_test.sh [BUILD]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
user=quivra-package-test
home=/home/$user

fail() {
  echo "package test: $*" >&2
  exit 1
}
[[ $(id -u) -eq 0 ]] || fail "run as root (it installs a package and adds a user)"

make -C "$root" --no-print-directory package BUILD="$build"
version=$(sed -n 's/^project(QuivraDownloader VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$build/quivra-downloader_${version}_amd64.deb
[[ -f $deb ]] || fail "$deb was not built"

# The package's own files, checked as they will be installed.
unpacked=$(mktemp -d)
site_pid=
cleanup() {
  [[ -n $site_pid ]] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  dpkg-query -W quivra-downloader >/dev/null 2>&1 && apt-get remove -y -qq quivra-downloader >/dev/null
  id "$user" >/dev/null 2>&1 && userdel -r "$user" 2>/dev/null
  rm -rf "$unpacked"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/quivra-downloader.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/com.quivra.downloader.metainfo.xml"
lint=0
lintian --fail-on error "$deb" >"$unpacked/lintian.txt" 2>&1 || lint=$?
grep -v 'running with root privileges' "$unpacked/lintian.txt" || true
[[ $lint -eq 0 ]] || fail "lintian found errors"

# Install from a clean state.
dpkg-query -W quivra-downloader >/dev/null 2>&1 && apt-get remove -y -qq quivra-downloader
id "$user" >/dev/null 2>&1 && userdel -r "$user"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null
[[ $(readlink -f /usr/bin/quivra-downloader) == /usr/lib/quivra-downloader/quivra-downloader ]] ||
  fail "/usr/bin/quivra-downloader does not lead to the program"
for program in quivra-downloader-window quivra-downloader-downloads; do
  [[ -x /usr/lib/quivra-downloader/$program ]] || fail "$program is missing"
done
[[ -f /usr/lib/quivra-downloader/skin/简约白.qss ]] || fail "the skin is missing"

useradd --create-home --home-dir "$home" --shell /bin/bash "$user"
as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

out=$(as_user quivra-downloader --version)
[[ $out == "quivra-downloader $version" ]] || fail "--version printed: $out"

# The first command makes the user's folder, private to the user.
as_user quivra-downloader whoami >/dev/null 2>&1 && fail "whoami found a login on a new account"
folder=$home/.config/quivra-downloader
[[ $(stat -c %a "$folder") == 700 ]] || fail "$folder is not made with mode 0700"
[[ $(stat -c %U "$folder") == "$user" ]] || fail "$folder does not belong to $user"

site_out=$(mktemp -p "$unpacked")
"$build/tools/devsite/devsite" --port 0 >"$site_out" 2>&1 &
site_pid=$!
base=
for _ in $(seq 1 600); do
  base=$(sed -n 's/^devsite listening on //p' "$site_out")
  [[ -n $base ]] && break
  kill -0 "$site_pid" 2>/dev/null || fail "the local site did not start: $(cat "$site_out")"
  sleep 0.1
done
[[ -n $base ]] || fail "the local site did not start"

# A [site] section written readable by all: the program closes the file to others.
as_user sh -c "printf '[site]\napi=$base\nlogin=$base\nmain=$base\nspace=$base\n' >'$folder/config.ini' &&
  chmod 644 '$folder/config.ini'"
info=$(as_user quivra-downloader info BV1xx411c7mD) || fail "info failed"
grep -q '^  01  62:05  山间小路的清晨$' <<<"$info" || fail "info printed: $info"
[[ $(stat -c %a "$folder/config.ini") == 600 ]] || fail "config.ini is not closed to others"
out=$(printf 'SESSDATA=plain-sessdata\n' | as_user quivra-downloader login --cookie) ||
  fail "login --cookie failed: $out"
grep -q '^cookie=SESSDATA=plain-sessdata$' "$folder/config.ini" || fail "the login is not stored"
[[ $(stat -c %a "$folder/config.ini") == 600 ]] || fail "config.ini is not 0600 after a login"
[[ $(stat -c %U "$folder/config.ini") == "$user" ]] || fail "config.ini does not belong to $user"
[[ ! -e /usr/lib/quivra-downloader/config.ini ]] || fail "a config.ini appeared in the program folder"

# A download lands in the user's download folder; the list beside config.ini, private.
out=$(as_user quivra-downloader get BV1xx411c7mD 2>&1) || fail "get failed: $out"
video=$home/Downloads/Quivra/山间小路的清晨/01_山间小路的清晨.mp4
[[ -f $video ]] || fail "get made no $video: $out"
[[ $(stat -c %U "$video") == "$user" ]] || fail "the download does not belong to $user"
streams=$(ffprobe -v error -show_entries stream=codec_type:stream_disposition=attached_pic \
  -of csv=p=0 "$video" | sort | tr '\n' ' ')
[[ $streams == "audio,0 video,0 video,1 " ]] || fail "the download holds the streams: $streams"
[[ $(stat -c %U "$(dirname "$video")/cover.jpg") == "$user" ]] || fail "no cover.jpg of $user"
[[ -z $(ls -A "$home/Downloads/Quivra/temp") ]] || fail "get left files in temp/"
[[ $(stat -c %a "$folder/downloads.db") == 600 ]] || fail "downloads.db is not 0600"
[[ $(stat -c %U "$folder/downloads.db") == "$user" ]] || fail "downloads.db does not belong to $user"
[[ ! -e /usr/lib/quivra-downloader/downloads.db ]] || fail "a downloads.db appeared in the program folder"
as_user quivra-downloader list | grep -q "^下载完成  山间小路的清晨 / 01 山间小路的清晨 " ||
  fail "list does not show the download done"

# Removing the package leaves the user's files as they were.
before=$(sha256sum "$folder/config.ini" "$folder/downloads.db" "$video")
apt-get remove -y -qq quivra-downloader >/dev/null
[[ ! -e /usr/lib/quivra-downloader && ! -e /usr/bin/quivra-downloader ]] ||
  fail "the program is still there after removal"
[[ $(sha256sum "$folder/config.ini" "$folder/downloads.db" "$video") == "$before" ]] ||
  fail "removal changed the user's files"
[[ $(stat -c %a "$folder") == 700 ]] || fail "removal changed the user's folder"
echo "package test: 1 passed, 0 failed"
