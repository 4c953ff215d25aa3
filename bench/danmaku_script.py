#!/usr/bin/env python3
"""What a user would otherwise run: a short script that turns the site's bullet-comment XML
into an ASS subtitle with lanes, written as such scripts usually are (ElementTree, a list of
lanes, one Dialogue line per comment). Usage: danmaku_script.py IN.xml OUT.ass"""
import sys
import xml.etree.ElementTree as ET

WIDTH, HEIGHT, SIZE, SCROLL, FIXED = 1920, 1080, 50, 8.0, 4.0


def ass_time(t):
    c = int(round(max(t, 0) * 100))
    return "%d:%02d:%02d.%02d" % (c // 360000, c // 6000 % 60, c // 100 % 60, c % 100)


def ass_color(rgb):
    return "&H%02X%02X%02X" % (rgb & 255, (rgb >> 8) & 255, (rgb >> 16) & 255)


def main(source, target):
    comments = []
    for d in ET.parse(source).getroot().iter("d"):
        fields = d.get("p", "").split(",")
        try:
            comments.append((float(fields[0]), int(fields[1]), int(fields[2]), int(fields[3]),
                             d.text or ""))
        except (ValueError, IndexError):
            continue
    comments.sort(key=lambda c: c[0])
    lane_height = SIZE * 1.15
    lanes = int(HEIGHT // lane_height)
    scroll_free = [0.0] * lanes
    top_free = [0.0] * lanes
    bottom_free = [0.0] * lanes
    out = ["[Script Info]", "ScriptType: v4.00+", "PlayResX: %d" % WIDTH,
           "PlayResY: %d" % HEIGHT, "", "[V4+ Styles]",
           "Format: Name, Fontname, Fontsize, PrimaryColour, Bold, Outline, Alignment",
           "Style: Danmaku,sans-serif,%d,&H33FFFFFF,0,1,7" % SIZE, "", "[Events]",
           "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text"]
    for start, mode, size, color, text in comments:
        font = SIZE * size / 25
        width = len(text) * font
        text = text.replace("\\", "\\\\").replace("{", "\\{").replace("}", "\\}")
        text = text.replace("\n", "\\N")
        if mode in (1, 2, 3):
            speed = (WIDTH + width) / SCROLL
            enter = start + width / speed
            lane = next((i for i in range(lanes) if scroll_free[i] <= start), None)
            if lane is None:
                continue
            scroll_free[lane] = enter
            y = lane * lane_height
            effect = "{\\move(%d,%d,%d,%d)}" % (WIDTH, y, -width, y)
            end = start + SCROLL
        elif mode in (4, 5):
            free = top_free if mode == 5 else bottom_free
            lane = next((i for i in range(lanes) if free[i] <= start), None)
            if lane is None:
                continue
            free[lane] = start + FIXED
            y = lane * lane_height if mode == 5 else HEIGHT - (lane + 1) * lane_height
            effect = "{\\an8\\pos(%d,%d)}" % (WIDTH // 2, y)
            end = start + FIXED
        else:
            continue
        if color != 0xFFFFFF:
            effect += "{\\c%s}" % ass_color(color)
        out.append("Dialogue: 2,%s,%s,Danmaku,,0,0,0,,%s%s" %
                   (ass_time(start), ass_time(end), effect, text))
    with open(target, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
