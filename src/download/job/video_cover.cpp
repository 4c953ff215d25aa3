#include "download/job/video_cover.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/proxy_route.h"
#include "download/job/part_lock.h"
#include "download/job/whole_file.h"
#include "download/plan/download_files.h"
#include "net/http_request.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// Every JPEG begins with the start-of-image marker and a first segment's marker.
bool isJpeg(const std::string& bytes) {
    return bytes.size() > 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0;
}

bool isJpegFile(const std::string& utf8Path) {
    const int fd = ::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char head[4] = {};
    const bool read = ::read(fd, head, sizeof head) == sizeof head;
    ::close(fd);
    return read && isJpeg(std::string(head, sizeof head));
}

// The answer's body when it is a whole 200 answer holding a JPEG; "" otherwise. The
// request is the interface's: its header, its timeouts, its cap on an answer's size, its
// proxy.
std::string downloadJpeg(const std::string& address) {
    HttpRequestOptions options;
    options.headers = kBrowserUserAgentLine;
    int status = 0;
    options.statusCode = &status;
    HttpOutcome outcome = HttpOutcome::NoAnswer;
    options.outcome = &outcome;
    std::string body = siteRequest(address, options);
    return outcome == HttpOutcome::Whole && status == 200 && isJpeg(body) ? body : "";
}

}  // namespace

std::string coverPath(const DownloadRequest& part) {
    const std::string folder = part.outputPath.substr(0, part.outputPath.rfind('/'));
    const std::string folderName = folder.substr(folder.rfind('/') + 1);
    // A 文件名格式 may put several videos into one folder: each keeps its own cover there.
    const bool own =
        folderName == videoFolderName(part.videoTitle, part.bvid) || folderName == part.bvid;
    return folder + (own ? "/cover.jpg" : "/cover_" + part.bvid + ".jpg");
}

std::string fetchVideoCover(const DownloadRequest& part) {
    if (part.coverAddress.empty()) return "";
    const std::string cover = coverPath(part);
    const std::string utf8Cover = localToUtf8(cover);
    if (isJpegFile(utf8Cover)) return cover;
    PartLock lock;
    while (lock.tryTake(cover + ".lock") == PartLock::Busy) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (isJpegFile(utf8Cover)) return cover;  // the job we waited for fetched it
    const std::string bytes = downloadJpeg(part.coverAddress);
    return !bytes.empty() && saveWholeFile(bytes, utf8Cover) ? cover : "";
}

}  // namespace quivra
