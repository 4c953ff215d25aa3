#include "download/plan/part_files.h"

#include "download/plan/download_files.h"

namespace quivra {

std::string besidePartFile(const DownloadRequest& part, const std::string& suffix) {
    const std::string& output = part.outputPath;
    const std::size_t dot = output.rfind('.');
    const std::size_t slash = output.rfind('/');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return output.substr(0, extension ? dot : output.size()) + suffix;
}

std::string danmakuXmlPath(const DownloadRequest& part) {
    return besidePartFile(part, ".danmaku.xml");
}

std::string danmakuAssPath(const DownloadRequest& part) {
    return besidePartFile(part, ".danmaku.ass");
}

bool wantsExtrasOnly(const DownloadRequest& part) {
    return part.subtitles.only || part.danmaku.only;
}

bool isPartDone(const DownloadRequest& part) {
    if (part.subtitles.only) return false;
    if (part.danmaku.only) {
        return isFinishedOutput(danmakuXmlPath(part)) && isFinishedOutput(danmakuAssPath(part));
    }
    return isFinishedOutput(part.outputPath);
}

}  // namespace quivra
