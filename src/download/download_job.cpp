#include "download/download_job.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "base/shared_state.h"
#include "base/wait_responsive.h"
#include "download/download_engine.h"
#include "download/download_files.h"
#include "download/merge_command.h"
#include "download/progress_text.h"
#include "net/text_encoding.h"
#include "video/stream_formats.h"
#include "video/title_cleaning.h"

namespace quivra {

namespace {

std::mutex timingsMutex;
JobTimings currentTimings;

std::mutex busyMutex;
std::set<int>& busyRows() {
    static auto* rows = new std::set<int>;  // outlives every worker
    return *rows;
}

// Writes a row's state only when it changes, so a poll does not cost a GUI hand-off.
class RowState {
  public:
    RowState(DownloadView& view, int row) : view_(view), row_(row) {}
    void write(const std::string& text) {
        if (text == last_) return;
        last_ = text;
        view_.setStateText(row_, text);
    }
    void write(const char* utf8) { write(localText(utf8)); }

  private:
    DownloadView& view_;
    int row_;
    std::string last_;
};

struct Stream {
    std::string address;
    std::string fileName;  // inside the temporary folder
    const char* startText;
    const char* finalText;
};

// A stream the engine did not finish is never taken as whole later: a file without a
// control file beside it cannot be resumed, so it goes; with one, it stays for the next
// job to resume.
void dropUnresumable(const std::string& path) {
    if (isCompleteDownload(path)) deleteFile(path);
}

// Gives the task up: it leaves the engine, and what it wrote is kept only if resumable.
void abandonTask(DownloadEngine& engine, std::uint32_t task, const std::string& path) {
    engine.deleteTask(task);
    dropUnresumable(path);
}

// Fetches one stream into the temporary folder, writing its stages into the row.
// False when the job must end; the row then says why (or, when no task could be made,
// keeps its last text).
bool downloadStream(RowState& state, const Stream& stream, const std::string& tempFolder) {
    DownloadEngine& engine = downloadEngine();
    const std::string path = tempFolder + "/" + stream.fileName;
    const std::string referer = utf8ToLocalText(sharedState().site.main) + "/";
    const std::uint32_t task =
        engine.createTask(stream.address, referer, "", stream.fileName, tempFolder, 1, 1, 1);
    if (task == 0) return false;
    if (!engine.startTask(task)) {
        abandonTask(engine, task, path);
        return false;
    }

    const JobTimings timings = jobTimings();
    using Clock = std::chrono::steady_clock;
    auto lastArrival = Clock::now();
    std::int64_t lastBytes = -1;
    for (;;) {
        const std::string name = engine.taskStateName(task);
        if (name == "COMPLETE") break;
        if (name == "ERROR") {
            std::string text = engine.taskErrorText(task);
            if (text.empty()) text = DownloadEngine::errorText(0);
            abandonTask(engine, task, path);
            state.write(text);
            return false;
        }
        // The engine was released under the job. Its release left a control file beside
        // every file it had not finished, so the files tell whether this one is whole,
        // whatever the job's last look at the task saw: nothing is dropped.
        if (name == "NOITEM") {
            state.write(DownloadEngine::errorText(65));
            return false;
        }
        const std::int64_t downloaded = engine.taskDownloadedSize(task);
        if (name == "STARTPENDING") {
            state.write(stream.startText);
        } else if (name == "DOWNLOAD") {
            state.write(progressText(downloaded, engine.taskTotalSize(task)));
        }
        const auto now = Clock::now();
        if (downloaded != lastBytes) {
            lastBytes = downloaded;
            lastArrival = now;
        } else if (now - lastArrival >= timings.stallLimit) {
            abandonTask(engine, task, path);
            state.write(DownloadEngine::errorText(64));
            return false;
        }
        waitResponsive(static_cast<int>(timings.pollInterval.count()), 0);
    }
    state.write(stream.finalText);
    return true;
}

bool isDecimalNumber(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string qualityText(const std::optional<int>& data) {
    return std::to_string(data.value_or(-1));
}

}  // namespace

void setJobTimings(JobTimings timings) {
    std::lock_guard lock(timingsMutex);
    currentTimings = timings;
}

JobTimings jobTimings() {
    std::lock_guard lock(timingsMutex);
    return currentTimings;
}

std::string rowNumberText(int row) {
    std::string number = std::to_string(static_cast<long long>(row) + 1);
    if (number.size() == 1) number.insert(0, "0");
    return number;
}

std::string pageName(const std::string& pageTitle) {
    std::string name = cleanTitle(pageTitle);
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string outputFilePath(const std::string& directory, const std::string& videoTitle, int row,
                           const std::string& pageTitle) {
    // The page name is cut so that the whole name fits, with room for the merge's ".part".
    const std::string number = rowNumberText(row) + "_";
    const std::string suffix = ".mp4";
    const std::size_t room = kNameBytes - std::strlen(kPartSuffix) - number.size() - suffix.size();
    return directory + "/" + videoTitle + "/" + number + fitNameBytes(pageName(pageTitle), room) +
           suffix;
}

void runDownloadJob(DownloadView& view, int row) {
    RowState state(view, row);
    if (view.cellText(row, DownloadView::StateColumn) == localText("下载完成")) return;

    const std::string directory = sharedState().download.get().directory;
    const VideoRecord video = sharedState().video.get();
    const std::string output = outputFilePath(directory, videoFolderName(video.title, video.bvid),
                                              row, view.cellText(row, DownloadView::TitleColumn));
    if (isFinishedOutput(output)) {
        state.write("下载完成");
        return;
    }

    const std::string cid = view.cellText(row, DownloadView::CidColumn);
    state.write("正在解析");
    // The cid names the temporary files: only digits may reach a path.
    if (!isDecimalNumber(cid)) {
        state.write("视频解析失败");
        return;
    }
    const StreamAddresses addresses = resolveStreamAddresses(
        video, cid, qualityText(view.videoQualityData()), qualityText(view.audioQualityData()));
    if (!isEngineAddress(addresses.video) || !isEngineAddress(addresses.audio)) {
        state.write("视频解析失败");
        return;
    }

    const std::string tempFolder = directory + "/temp";
    const std::string videoFile = tempFolder + "/" + cid + ".mp4";
    const std::string audioFile = tempFolder + "/" + cid + ".mp3";
    // A stream is skipped only when it is whole; a partial one is resumed.
    if (!isCompleteDownload(videoFile) &&
        !downloadStream(state, {addresses.video, cid + ".mp4", "准备下载视频", "视频下载完毕"},
                        tempFolder)) {
        return;
    }
    if (!isCompleteDownload(audioFile) &&
        !downloadStream(state, {addresses.audio, cid + ".mp3", "准备下载音频", "音频下载完毕"},
                        tempFolder)) {
        return;
    }

    state.write("正在合成音视频");
    if (!mergeStreams(localToUtf8(videoFile), localToUtf8(audioFile), localToUtf8(output))) {
        state.write("音视频合成失败");  // both streams stay for the next press
        return;
    }
    state.write("下载完成");
    deleteFile(videoFile);
    deleteFile(audioFile);
}

void downloadJob(std::intptr_t row, std::intptr_t /*unused*/) {
    const int index = static_cast<int>(row);
    struct BusyMark {
        int row;
        ~BusyMark() { clearRowBusy(row); }
    } mark{index};
    try {
        if (std::shared_ptr<DownloadView> view = currentDownloadView()) {
            runDownloadJob(*view, index);
        }
    } catch (...) {
        // Out of memory or a failing library: the row keeps its last text.
    }
}

bool markRowBusy(int row) {
    std::lock_guard lock(busyMutex);
    return busyRows().insert(row).second;
}

void clearRowBusy(int row) {
    std::lock_guard lock(busyMutex);
    busyRows().erase(row);
}

bool isRowBusy(int row) {
    std::lock_guard lock(busyMutex);
    return busyRows().count(row) != 0;
}

}  // namespace quivra
