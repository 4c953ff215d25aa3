#!/bin/bash
# What a part costs: the program's `get` of a many-part video against a shell script of the
# same tools (per part the stream list with curl, both streams at once with
# `aria2c -x16 -s16 -k1M`, then `ffmpeg -i v -i a -vcodec copy -acodec copy`, three parts
# at a time with `xargs -P 3`), both against one local site in one run, alternating.
# Prints each round, the medians and the ratio get/script, and the CPU time and peak
# memory of each whole `get` (GNU time).
# Usage: bench/part_cost_bench.sh [rounds (3)] [parts (24)] [seconds per part (5)]
# BUILD names the build folder (default: build); CODEC=hevc has both take the HEVC stream
# (`get --codec hevc`, the script by its codecid) instead of AVC.
set -euo pipefail
rounds=${1:-3}
parts=${2:-24}
seconds=${3:-5}
codec=${CODEC:-avc}
case $codec in
avc) codecid=7 encoder=(-c:v libx264 -preset ultrafast) video_file=video-80.mp4 ;;
hevc) codecid=12 encoder=(-c:v libx265 -preset ultrafast -x265-params log-level=error) \
    video_file=video-80-12.mp4 ;;
*) echo "CODEC is avc or hevc" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
[ -f "$build/build.ninja" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quivra-downloader devsite -j2 >/dev/null

work=$(mktemp -d /tmp/quivra-part-cost-XXXXXX)
site_pid=
cleanup() {
    [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The site serves its cached media files; these, made first, are the bench's: a 720p
# video of a few MB and its audio, as long as each other.
media=$work/cache/media-v1
mkdir -p "$media"
ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=$seconds" \
    "${encoder[@]}" -pix_fmt yuv420p -g 25 -an -movflags +faststart \
    -f mp4 "$media/$video_file"
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" \
    -c:a aac -b:a 192k -vn -movflags +faststart -f mp4 "$media/audio-30280.mp4"

"$build/tools/devsite/devsite" --cache "$work/cache" --large-bytes 1048576 >"$work/site.log" &
site_pid=$!
for _ in $(seq 100); do
    grep -q listening "$work/site.log" 2>/dev/null && break
    sleep 0.1
done
base=$(sed -n 's/^devsite listening on //p' "$work/site.log")
[ -n "$base" ] || { echo "the local site did not start" >&2; exit 1; }

# The program, portable, its config.ini pointing at the site.
program=$work/program
mkdir -p "$program"
cp "$build/program/quivra-downloader" "$build/program/quivra-downloader-downloads" "$program/"
printf '[site]\napi=%s\nlogin=%s\nmain=%s\nspace=%s\n' "$base" "$base" "$base" "$base" \
    >"$program/config.ini"

bvid=BV1Kk411c7Pm  # the many-part video; its cids count up from 7000001
part_script=$work/part.sh
cat >"$part_script" <<'PART'
#!/bin/bash
# One part: stream list, both streams at once, merge.
set -euo pipefail
base=$1 bvid=$2 cid=$3 out=$4 codecid=$5
dir=$out/$cid
mkdir -p "$dir"
answer=$(curl -sf "$base/x/player/playurl?cid=$cid&bvid=$bvid&qn=80&fnval=80&fourk=1")
video=$(jq -r --argjson c "$codecid" \
    '[.data.dash.video[] | select(.id == 80 and .codecid == $c)][0].baseUrl' <<<"$answer")
audio=$(jq -r '[.data.dash.audio[] | select(.id == 30280)][0].baseUrl' <<<"$answer")
printf '%s\n  out=v.mp4\n%s\n  out=a.mp4\n' "$video" "$audio" |
    aria2c -q -x16 -s16 -k1M -d "$dir" --referer="$base/" -i -
ffmpeg -nostdin -v error -y -i "$dir/v.mp4" -i "$dir/a.mp4" -vcodec copy -acodec copy \
    "$out/$cid.mp4"
rm "$dir/v.mp4" "$dir/a.mp4"
PART
chmod +x "$part_script"

elapsed() { # seconds since $1 (date +%s.%N)
    echo "$(date +%s.%N) $1" | awk '{printf "%.2f", $1 - $2}'
}

run_get() { # folder -> "seconds cpu peak-kB"
    local start
    start=$(date +%s.%N)
    /usr/bin/time -f "%U %S %M" -o "$work/time.txt" \
        "$program/quivra-downloader" --quiet get "$bvid" -q 80 -p "1-$parts" -j 3 -o "$1" \
        --codec "$codec"
    read -r user system peak <"$work/time.txt"
    echo "$(elapsed "$start") $(awk -v u="$user" -v s="$system" 'BEGIN{printf "%.2f", u+s}') $peak"
}

run_script() { # folder -> seconds
    local start
    start=$(date +%s.%N)
    seq 7000001 $((7000000 + parts)) | xargs -P 3 -I{} "$part_script" "$base" "$bvid" {} "$1" "$codecid"
    elapsed "$start"
}

count_mp4() { find "$1" -name '*.mp4' -size +1k | wc -l; }

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

gets=() scripts=() cpus=() peaks=()
for round in $(seq "$rounds"); do
    read -r get_s cpu peak < <(run_get "$work/get$round")
    got=$(count_mp4 "$work/get$round")
    script_s=$(run_script "$work/script$round")
    made=$(count_mp4 "$work/script$round")
    if [ "$got" -ne "$parts" ] || [ "$made" -ne "$parts" ]; then
        echo "round $round: get made $got files, the script $made, of $parts" >&2
        exit 1
    fi
    echo "round $round: get ${get_s} s (CPU ${cpu} s, peak ${peak} kB), script ${script_s} s"
    rm -rf "$work/get$round" "$work/script$round"
    gets+=("$get_s") scripts+=("$script_s") cpus+=("$cpu") peaks+=("$peak")
done
get_m=$(printf '%s\n' "${gets[@]}" | median)
script_m=$(printf '%s\n' "${scripts[@]}" | median)
cpu_m=$(printf '%s\n' "${cpus[@]}" | median)
peak_m=$(printf '%s\n' "${peaks[@]}" | median)
video_bytes=$(stat -c %s "$media/$video_file")
awk -v g="$get_m" -v s="$script_m" -v r="$rounds" -v p="$parts" -v b="$video_bytes" \
    -v c="$cpu_m" -v m="$peak_m" -v k="$codec" 'BEGIN {
    printf "%d parts of %.1f MB %s video, 3 at a time, medians of %d rounds: get %.2f s, script %.2f s: get/script %.2f (target at most 1.0: %s); get CPU %.2f s, peak %d kB\n",
        p, b / 1e6, k, r, g, s, g / s, g / s <= 1.0 ? "met" : "not met", c, m }'
