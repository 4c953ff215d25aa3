#include "download/job/download_job.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "base/records.h"
#include "base/shared_state.h"
#include "base/wait_responsive.h"
#include "download/engine/download_engine.h"
#include "download/job/library_files.h"
#include "download/job/media_probe.h"
#include "download/job/merge_command.h"
#include "download/job/part_danmaku.h"
#include "download/job/part_extras.h"
#include "download/job/part_lock.h"
#include "download/job/progress_text.h"
#include "download/job/video_cover.h"
#include "download/plan/download_files.h"
#include "download/plan/output_format.h"
#include "download/plan/part_files.h"
#include "net/text_encoding.h"
#include "video/member_message.h"
#include "video/stream_formats.h"

namespace quivra {

namespace {

// Hands on a stage text only when it changes, so a poll does not cost a report.
class Stages {
  public:
    explicit Stages(JobReport& report) : report_(report) {}
    void write(const std::string& text) {
        if (text == last_) return;
        last_ = text;
        report_.stage(text);
    }
    void write(const char* utf8) { write(localText(utf8)); }
    JobResult fail(const std::string& text) {
        write(text);
        return {JobResult::Failed, text};
    }
    JobResult fail(const char* utf8) { return fail(localText(utf8)); }
    JobResult failForNow(const std::string& text) {
        JobResult result = fail(text);
        result.mendable = true;
        return result;
    }
    void progress(std::int64_t done, std::int64_t total, std::int64_t speed) {
        const std::string text = progressText(done, total);
        if (done == lastDone_ && total == lastTotal_ && speed == lastSpeed_) return;
        lastDone_ = done;
        lastTotal_ = total;
        lastSpeed_ = speed;
        last_ = text;
        report_.progress(done, total, speed, text);
    }

  private:
    JobReport& report_;
    std::string last_;
    std::int64_t lastDone_ = -1;
    std::int64_t lastTotal_ = -1;
    std::int64_t lastSpeed_ = -1;
};

struct Stream {
    std::string address;
    std::string path;  // in the temporary folder
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

// Engine failures a later task may not meet: no answer or a cut one, an address answered
// 403, 404 or 5xx, a timeout, a full disk.
bool isMendableEngineError(EngineError code) {
    return code == kErrorUnknown || code == kErrorWriteFile || code == kErrorBadAddress ||
           code == kErrorNoAddress || code == kErrorTimeout;
}

// Fetches one stream into the temporary folder, reporting its stages; wholeBytes (the
// streams of the part finished before) is added to the progress.
JobResult downloadStream(const JobContext& context, Stages& stages, JobReport& report,
                         const Stream& stream, const std::string& tempFolder,
                         std::int64_t wholeBytes) {
    DownloadEngine& engine = context.engine;
    const std::string& path = stream.path;
    const std::string referer = utf8ToLocalText(context.siteMain) + "/";
    const std::string fileName = path.substr(path.rfind('/') + 1);
    const std::uint32_t task =
        engine.createTask(stream.address, referer, "", fileName, tempFolder, 1, 1, 1);
    if (task == 0) return {JobResult::Failed, ""};
    if (!engine.startTask(task)) {
        abandonTask(engine, task, path);
        return {JobResult::Failed, ""};
    }

    const JobTimings& timings = context.timings;
    using Clock = std::chrono::steady_clock;
    auto lastArrival = Clock::now();
    std::int64_t lastBytes = -1;
    EngineState state = engine.taskState(task);
    for (;;) {
        if (state == kStateComplete) break;
        if (report.stopRequested()) {
            abandonTask(engine, task, path);
            return {JobResult::Stopped, ""};
        }
        if (state == kStateError) {
            const EngineError code = engine.taskError(task);
            const std::string text = DownloadEngine::errorText(code);
            abandonTask(engine, task, path);
            return isMendableEngineError(code) ? stages.failForNow(text) : stages.fail(text);
        }
        // The engine was released under the job. Its release left a control file beside
        // every file it had not finished, so the files tell whether this one is whole,
        // whatever the job's last look at the task saw: nothing is dropped.
        if (state == kStateNoItem) {
            return stages.fail(DownloadEngine::errorText(kErrorCancelled));
        }
        const std::int64_t downloaded = engine.taskDownloadedSize(task);
        if (state == kStateStartPending) {
            stages.write(stream.startText);
        } else if (state == kStateDownload) {
            stages.progress(wholeBytes + downloaded, wholeBytes + engine.taskTotalSize(task),
                            engine.taskSpeed(task));
        }
        const auto now = Clock::now();
        if (downloaded != lastBytes) {
            lastBytes = downloaded;
            lastArrival = now;
        } else if (now - lastArrival >= timings.stallLimit) {
            abandonTask(engine, task, path);
            return stages.failForNow(DownloadEngine::errorText(kErrorTimeout));
        }
        // The progress keeps its rhythm; a finished or failed stream ends the wait at once.
        state = engine.waitTaskState(task, state, timings.pollInterval);
    }
    stages.write(stream.finalText);
    return {JobResult::Done, ""};
}

// Takes the part's lock, waiting while another job, of this program or another, runs the
// part. False when the job must stop meanwhile. A folder where no lock can be made does
// not hold the job up: the engine then reports why it cannot write there.
bool takePartLock(const JobTimings& timings, PartLock& lock, const DownloadRequest& part,
                  Stages& stages, JobReport& report) {
    const std::string path = partLockPath(part);
    while (lock.tryTake(path) == PartLock::Busy) {
        stages.write("此分P正由另一个程序下载，等待中");
        if (report.stopRequested()) return false;
        waitResponsive(static_cast<int>(timings.pollInterval.count()), 0);
    }
    return true;
}

// Merges the part's streams ("": none of that kind) with its tags, cover, subtitles,
// chapters and bullet comments' ASS ("": none). A cover ffmpeg cannot read costs the part
// nothing: the merge is made once more without it, and the unreadable cover.jpg goes.
bool mergePart(const std::string& videoFile, const std::string& audioFile,
               const DownloadRequest& part, const PartExtras& extras,
               const std::string& danmakuTrack) {
    const std::string video = videoFile.empty() ? "" : localToUtf8(videoFile);
    const std::string audio = audioFile.empty() ? "" : localToUtf8(audioFile);
    const std::string output = localToUtf8(part.outputPath);
    const std::string cover = fetchVideoCover(part);
    MergeExtras merged{partTags(part), localToUtf8(cover), extras.subtitles, extras.chaptersPath,
                       danmakuTrack};
    if (mergeStreams(video, audio, output, merged)) return true;
    merged.coverPath.clear();
    if (cover.empty() || !mergeStreams(video, audio, output, merged)) return false;
    deleteFile(cover);
    return true;
}

// The subtitles and chapters of a part whose streams are whole, each thing left out said
// in a stage of its own. Chapters go only into MP4 and MKV.
PartExtras partExtras(const JobContext& context, const DownloadRequest& part,
                      const std::string& streamFile, Stages& stages) {
    const bool chapters =
        carriesTextTracks(outputFormatOfPath(part.outputPath).value_or(OutputFormat::Mp4));
    if (part.subtitles.languages.empty() && !chapters) return {};
    // The stream's own length, not the site's: cues past it are cut or dropped.
    const double seconds = std::max(0.0, probeMedia(localToUtf8(streamFile)).seconds);
    PartExtras extras = fetchPartExtras(part, seconds, chapters, context.keys);
    for (const std::string& text : extras.leftOut) stages.write(text);
    return extras;
}

// The bullet comments beside the part, drawn on the given frame in the style the settings
// hold now, each thing left out said.
PartDanmaku writeDanmaku(const DownloadRequest& part, const DanmakuFrame& frame, Stages& stages) {
    PartDanmaku danmaku =
        writePartDanmaku(part, danmakuStyleOf(sharedState().download.get()), frame);
    for (const std::string& text : danmaku.notes) stages.write(text);
    return danmaku;
}

// The bullet comments of a part whose streams are whole, on the frame of its stream file (an
// audio part's: 1920x1080); the ASS (UTF-8) when the part takes it as a track, else "".
std::string partDanmaku(const DownloadRequest& part, const std::string& streamFile,
                        Stages& stages) {
    if (!part.danmaku.files) return {};
    const DanmakuFrame frame = frameOfFile(localToUtf8(streamFile));
    if (!writeDanmaku(part, frame, stages).written || !part.danmaku.track) return {};
    return localToUtf8(danmakuAssPath(part));
}

// --subtitles-only: the .srt files beside where the part's file goes.
JobResult writeSubtitlesOnly(const JobContext& context, const DownloadRequest& part,
                             Stages& stages) {
    stages.write("正在获取字幕");
    const PartExtras extras = fetchPartExtras(part, 0, false, context.keys);
    for (const std::string& text : extras.leftOut) stages.write(text);
    if (!extras.answered) {
        return stages.fail(extras.leftOut.empty() ? localText("字幕未能获取")
                                                  : extras.leftOut.front());
    }
    if (extras.subtitles.empty()) return stages.fail("此分P没有所选的字幕");
    return {JobResult::Done, ""};
}

// --danmaku-only: the two files beside where the part's file goes, on the frame of that
// file when one is there (no video is fetched to learn it).
JobResult writeDanmakuOnly(const DownloadRequest& part, Stages& stages) {
    stages.write("正在获取弹幕");
    const DanmakuFrame frame = isFinishedOutput(part.outputPath)
                                   ? frameOfFile(localToUtf8(part.outputPath))
                                   : DanmakuFrame{};
    const PartDanmaku danmaku = writeDanmaku(part, frame, stages);
    if (danmaku.written) return {JobResult::Done, ""};
    // The last note is why nothing was written.
    return stages.fail(danmaku.notes.empty() ? localText("弹幕未能获取") : danmaku.notes.back());
}

// Only the subtitles, the bullet comments or both: no streams, no merge.
JobResult writeExtrasOnly(const JobContext& context, const DownloadRequest& part, Stages& stages) {
    JobResult result{JobResult::Done, ""};
    if (part.subtitles.only) result = writeSubtitlesOnly(context, part, stages);
    if (result.outcome == JobResult::Done && part.danmaku.only) {
        result = writeDanmakuOnly(part, stages);
    }
    if (result.outcome == JobResult::Done) stages.write("下载完成");
    return result;
}

bool isDecimalNumber(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

JobResult runDownloadJob(const JobContext& context, const DownloadRequest& part,
                         JobReport& report) {
    Stages stages(report);
    const bool extrasOnly = wantsExtrasOnly(part);
    if (!extrasOnly && isFinishedOutput(part.outputPath)) {
        stages.write("下载完成");
        return {JobResult::Done, ""};
    }
    // The cid names the temporary files and, with an episode's number, goes into the stream
    // request: only digits may reach a path or a query.
    if (!isDecimalNumber(part.cid) ||
        (!part.episodeId.empty() && !isDecimalNumber(part.episodeId))) {
        stages.write("正在解析");
        return stages.fail("视频解析失败");
    }
    // A part resumed after a restart may find its folders gone.
    const std::string tempFolder = part.directory + "/temp";
    ensureFolder(tempFolder);
    PartLock lock;
    if (!takePartLock(context.timings, lock, part, stages, report)) return {JobResult::Stopped, ""};
    if (extrasOnly) {
        ensureFolder(part.outputPath.substr(0, part.outputPath.rfind('/')));
        return writeExtrasOnly(context, part, stages);
    }
    if (isFinishedOutput(part.outputPath)) {  // the job we waited for made it
        stages.write("下载完成");
        return {JobResult::Done, ""};
    }

    stages.write("正在解析");
    const StreamAddresses addresses = resolvePartStreams(
        part.bvid, part.episodeId, part.cid,
        {std::to_string(part.videoQuality), std::to_string(part.audioQuality), part.codecs});
    if (addresses.unanswered) return stages.failForNow(localText("视频解析失败"));
    // No retry mends it: only a login with a membership does.
    if (addresses.membersOnly) return stages.fail(memberOnlyMessage());
    const bool wantsVideo = part.content != DownloadContent::AudioOnly;
    const bool wantsAudio = part.content != DownloadContent::VideoOnly;
    // The site answered with a video alone: no retry brings the audio.
    if (!wantsVideo && addresses.audio.empty() && !addresses.video.empty()) {
        return stages.fail("此视频没有音频流");
    }
    if ((wantsVideo && !isEngineAddress(addresses.video)) ||
        (wantsAudio && !isEngineAddress(addresses.audio))) {
        return stages.fail("视频解析失败");
    }
    if (wantsVideo) report.codecTaken(addresses.videoCodec);
    ensureFolder(part.outputPath.substr(0, part.outputPath.rfind('/')));

    const std::string videoFile = wantsVideo ? temporaryVideoPath(part) : "";
    const std::string audioFile = wantsAudio ? temporaryAudioPath(part) : "";
    std::vector<Stream> streams;
    if (wantsVideo) streams.push_back({addresses.video, videoFile, "准备下载视频", "视频下载完毕"});
    if (wantsAudio) streams.push_back({addresses.audio, audioFile, "准备下载音频", "音频下载完毕"});
    std::int64_t wholeBytes = 0;
    for (const Stream& stream : streams) {
        if (report.stopRequested()) return {JobResult::Stopped, ""};
        // A stream is skipped only when it is whole; a partial one is resumed.
        if (!isCompleteDownload(stream.path)) {
            JobResult result =
                downloadStream(context, stages, report, stream, tempFolder, wholeBytes);
            if (result.outcome != JobResult::Done) return result;
        }
        wholeBytes += fileSize(stream.path);
    }
    if (report.stopRequested()) return {JobResult::Stopped, ""};
    const PartExtras extras = partExtras(context, part, wantsVideo ? videoFile : audioFile, stages);
    const std::string danmakuTrack = partDanmaku(part, wantsVideo ? videoFile : audioFile, stages);

    stages.write("正在合成音视频");
    report.mergeStarted();
    const bool merged = mergePart(videoFile, audioFile, part, extras, danmakuTrack);
    if (!extras.chaptersPath.empty()) deleteFile(utf8ToLocalText(extras.chaptersPath));
    if (!merged) return stages.fail("音视频合成失败");  // the streams stay for the next press
    for (const Stream& stream : streams) deleteFile(stream.path);
    // A library file that cannot be written costs the part nothing: its file is whole.
    if (part.libraryInfo && !writeLibraryFiles(part)) stages.write("媒体库信息写入失败");
    lock.release();  // "下载完成" is shown with temp/ left as it was found
    stages.write("下载完成");
    return {JobResult::Done, ""};
}

DownloadJob downloadJobWith(JobContext context) {
    return [context = std::move(context)](const DownloadRequest& part, JobReport& report) {
        return runDownloadJob(context, part, report);
    };
}

}  // namespace quivra
