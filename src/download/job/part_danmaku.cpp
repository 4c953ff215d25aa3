#include "download/job/part_danmaku.h"

#include <algorithm>
#include <cmath>

#include "download/job/media_probe.h"
#include "download/job/part_extras.h"
#include "download/job/whole_file.h"
#include "download/plan/part_files.h"
#include "net/text_encoding.h"
#include "video/comments/comment_requests.h"

namespace quivra {

namespace {

// A comma ends a field of the ASS style line, a line break the line.
std::string assFontName(const std::string& local) {
    std::string font = localToUtf8(local);
    std::erase_if(font, [](char c) { return c == ',' || c == '\n' || c == '\r'; });
    return font.empty() ? DanmakuStyle{}.font : font;
}

}  // namespace

DanmakuFrame frameOfFile(const std::string& path) {
    const MediaSummary summary = probeMedia(path);
    DanmakuFrame frame;
    if (summary.width > 0 && summary.height > 0) {
        frame.width = summary.width;
        frame.height = summary.height;
    }
    frame.seconds = std::max(0.0, summary.seconds);
    return frame;
}

DanmakuStyle danmakuStyleOf(const DownloadSettings& settings) {
    DanmakuStyle style;
    style.font = assFontName(settings.danmakuFont);
    style.fontSize = settings.danmakuFontSize;
    style.opacity = settings.danmakuOpacity / 100.0;
    style.scrollSeconds = settings.danmakuScrollSeconds;
    const long quarters = std::clamp(std::lround(settings.danmakuArea / 25.0), 1L, 4L);
    style.area = static_cast<double>(quarters) / 4;
    style.hideTop = settings.danmakuHideTop;
    style.hideBottom = settings.danmakuHideBottom;
    style.hideScrolling = settings.danmakuHideScrolling;
    style.hideColored = settings.danmakuHideColored;
    style.blocklist = parseBlocklist(localToUtf8(settings.danmakuBlocklist));
    return style;
}

PartDanmaku writePartDanmaku(const DownloadRequest& part, const DanmakuStyle& style,
                             const DanmakuFrame& frame) {
    PartDanmaku result;
    for (const std::string& problem : style.blocklist.problems) {
        result.notes.push_back(localText("屏蔽词") + utf8ToLocalText(problem));
    }
    const DanmakuFetch fetched = fetchDanmaku(partCommentSource(), part.cid);
    if (!fetched.failure.empty()) {
        result.notes.push_back(localText("弹幕未能获取：") + fetched.failure);
        return result;
    }
    DanmakuList list = fetched.list;
    if (!list.problem.empty()) result.notes.push_back(utf8ToLocalText(list.problem));
    if (list.skipped > 0) {
        result.notes.push_back(localText("略去") + std::to_string(list.skipped) +
                               localText("条无法读取的弹幕"));
    }
    // Never seen, and in a track they would make the file outlast its video.
    const auto late = std::erase_if(list.comments, [&](const Danmaku& comment) {
        return frame.seconds > 0 && comment.seconds >= frame.seconds;
    });
    if (late > 0) {
        result.notes.push_back(localText("略去") + std::to_string(late) +
                               localText("条视频结束后的弹幕"));
    }
    const DanmakuAss ass = danmakuToAss(list, style, frame.width, frame.height);
    result.written = saveWholeFile(fetched.xml, localToUtf8(danmakuXmlPath(part))) &&
                     saveWholeFile(ass.text, localToUtf8(danmakuAssPath(part)));
    if (!result.written) result.notes.push_back(localText("弹幕未能写入"));
    return result;
}

}  // namespace quivra
