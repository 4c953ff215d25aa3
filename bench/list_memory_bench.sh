#!/bin/bash
# The memory of a long download list: a downloads.db of PARTS finished parts (texts of
# about 100 bytes, the tags' description too), made by the program's own store (its schema,
# from a first `list`) and filled with sqlite3. Measures from outside:
# - the windows' program (offscreen, portable, its site unreachable): its RSS before the
#   list window opens and after, its peak, and the time the window took to open and show
#   (QUIVRA_OPEN_LIST_AFTER_MS);
# - the peak RSS of `quivra-downloader list` and `list --json` against what a user would
#   type instead (`sqlite3 downloads.db "select ..."`, plain and -json), as ratios.
# Usage: bench/list_memory_bench.sh [parts (100000)]. BUILD names the build folder; KEEP=1
# keeps the work folder (its program folder and downloads.db) for heaptrack or massif.
set -euo pipefail
parts=${1:-100000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
[ -f "$build/build.ninja" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 \
    --target quivra-downloader quivra-downloader-downloads quivra-downloader-window >/dev/null

work=$(mktemp -d /tmp/quivra-list-memory-XXXXXX)
window_pid=
cleanup() {
    # The window program is killed on purpose: its status is not the benchmark's.
    if [ -n "$window_pid" ]; then
        kill -9 "$window_pid" 2>/dev/null || true
        wait "$window_pid" 2>/dev/null || true
    fi
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

program=$work/program
mkdir -p "$program"
cp "$build/program/quivra-downloader" "$build/program/quivra-downloader-downloads" \
    "$build/program/quivra-downloader-window" "$program/"
site=http://127.0.0.1:9  # nothing listens there
printf '[site]\napi=%s\nlogin=%s\nmain=%s\nspace=%s\n' "$site" "$site" "$site" "$site" \
    >"$program/config.ini"
"$program/quivra-downloader" list >/dev/null  # makes downloads.db at the current schema
db=$program/downloads.db

# Ids as the queue makes them (microseconds of submission); ten parts per video.
sqlite3 "$db" <<SQL
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $parts - 1),
t AS (SELECT i, i / 10 AS v, 'BV1' || printf('%09d', i / 10) AS bvid,
      printf('长列表的视频标题 第%06d号 一部很长的纪录片 关于山川河流与城市的故事', i / 10) AS title,
      printf('第%02d集 分P的标题 讲述这一集里发生的事情和人物 %06d', i % 10 + 1, i) AS page
      FROM n)
INSERT INTO items (id, bvid, video_title, cid, page_title, page_number, video_quality,
    audio_quality, quality_name, directory, output_path, state, stage_text, error_text,
    bytes_done, bytes_total, created_at, finished_at, tagged, tag_video_title, tag_author,
    tag_date, tag_page_address, tag_description, tag_parts, cover_address, site_title)
SELECT 1700000000000000 + i, bvid, title, printf('%d', 30000000 + i), page, i % 10 + 1, 80,
    30280, '1080P 高清', '/home/user/视频/下载', '/home/user/视频/下载/' || title || '/' ||
    printf('%02d_', i % 10 + 1) || page || '.mp4', 'done', '下载完成', '', 52428800,
    52428800, 1700000000 + i, 1700000100 + i, 1, title, '上传视频的作者名字', '2024-05-01',
    'https://www.quivra.com/video/' || bvid,
    printf('这一段是视频的简介 说明视频讲了什么 %06d 以及制作的人和时间', v), 10,
    'https://i0.quivra.com/cover/' || bvid || '.jpg', title
FROM t;
SQL
echo "downloads.db: $(sqlite3 "$db" 'select count(*) from items') parts," \
    "$(du -k "$db" | cut -f1) kB; text lengths (bytes): title" \
    "$(sqlite3 "$db" 'select length(cast(video_title as blob)) from items limit 1')," \
    "page $(sqlite3 "$db" 'select length(cast(page_title as blob)) from items limit 1')," \
    "path $(sqlite3 "$db" 'select length(cast(output_path as blob)) from items limit 1')"

peak() { # command... -> peak RSS in kB (GNU time)
    /usr/bin/time -f "%M" -o "$work/time.txt" "$@" >"$work/out.txt"
    cat "$work/time.txt"
}
kb() { grep "^$2:" "/proc/$1/status" | awk '{print $2}'; }

list_plain=$(peak "$program/quivra-downloader" list)
[ "$(wc -l <"$work/out.txt")" -eq "$parts" ] || { echo "list printed too few lines" >&2; exit 1; }
list_json=$(peak "$program/quivra-downloader" list --json)
python3 -c "import json,sys; assert len(json.load(open(sys.argv[1]))) == $parts" "$work/out.txt"
sql_plain=$(peak sqlite3 "$db" \
    "select state, video_title, page_title, quality_name, output_path from items order by id")
sql_json=$(peak sqlite3 -json "$db" \
    "select state, video_title, page_title, quality_name, output_path from items order by id")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.1f", a / b}'; }
echo "list:        $((list_plain / 1024)) MB peak; sqlite3 select: $((sql_plain / 1024)) MB;" \
    "ratio $(ratio "$list_plain" "$sql_plain")"
echo "list --json: $((list_json / 1024)) MB peak; sqlite3 -json:   $((sql_json / 1024)) MB;" \
    "ratio $(ratio "$list_json" "$sql_json")"

# The windows' program: settled, then the list window, then settled again.
settle=${SETTLE:-8}
QT_QPA_PLATFORM=offscreen QUIVRA_OPEN_LIST_AFTER_MS=$((settle * 1000)) \
    "$program/quivra-downloader-window" 2>"$work/window.log" &
window_pid=$!
sleep $((settle - 1))
before=$(kb "$window_pid" VmRSS)
for _ in $(seq 600); do
    grep -q "list window opened" "$work/window.log" && break
    sleep 0.1
done
opened=$(sed -n 's/^list window opened in \([0-9]*\) ms$/\1/p' "$work/window.log")
[ -n "$opened" ] || { echo "the list window did not open" >&2; exit 1; }
sleep 3
after=$(kb "$window_pid" VmRSS)
high=$(kb "$window_pid" VmHWM)
echo "window: $((before / 1024)) MB before the list window, $((after / 1024)) MB after" \
    "(peak $((high / 1024)) MB); opening it took $opened ms"
