// One part turned into its file: stream addresses, the streams its content wants (video
// and audio, or either alone) through the engine into <directory>/temp, the merge into
// the output path, whose extension names the container. The job works
// only from what the part was bound to at submission and reports each stage as the text
// of the part's "状态".
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "download/list/download_item.h"
#include "video/listing/video_listing.h"

namespace quivra {

class DownloadEngine;

// How long a job waits between looks at a task, and how long a task may go without a
// byte arriving before the job gives it up (keeping the partial file for a later resume).
struct JobTimings {
    std::chrono::milliseconds pollInterval{300};
    std::chrono::milliseconds stallLimit{std::chrono::seconds(90)};
};

// What a job works with, handed in by whoever starts it (the core, or a test).
struct JobContext {
    DownloadEngine& engine;
    std::string siteMain;  // the site's main address (UTF-8): the streams' referer
    JobTimings timings;
    // The signature keys of the player information, fetched by the run's first job that asks.
    std::shared_ptr<SigningKeys> keys = std::make_shared<SigningKeys>();
};

// What a running job tells about itself, and whether it must stop. Texts are local text.
class JobReport {
  public:
    virtual ~JobReport() = default;
    // A "状态" text, each one once, in the order the job reaches it.
    virtual void stage(const std::string& text) = 0;
    // A stream transfers: bytes of the part so far (whole streams included) of the bytes
    // known so far, the speed in bytes a second, and the progress text ("1.5MB/10MB").
    virtual void progress(std::int64_t done, std::int64_t total, std::int64_t speed,
                          const std::string& text) = 0;
    // The part's video stream was chosen, in this codec.
    virtual void codecTaken(VideoCodec codec) = 0;
    // Both streams are whole and the merge begins.
    virtual void mergeStarted() = 0;
    // True when the job must end now (pause, cancel, removal, the program's end); the
    // streams stay as they are, so a later job resumes them.
    virtual bool stopRequested() = 0;
};

struct JobResult {
    enum Outcome { Done, Failed, Stopped } outcome = Failed;
    std::string errorText;  // why it failed ("" when the engine gave no task)
    // Failed for a reason a later job may not meet: the network, the site's servers, a
    // stream address that expired, an answer that could not be read, a full disk.
    bool mendable = false;
};

// Runs the whole job for one part; returns when the output exists, when the job failed,
// or when it was asked to stop. It holds the part's lock (part_lock.h) while it works and
// waits, with its own "状态" text, while a job of another program holds it.
JobResult runDownloadJob(const JobContext& context, const DownloadRequest& part, JobReport& report);

// What the list runs for an item on a worker: runDownloadJob, or a test's own job.
using DownloadJob = std::function<JobResult(const DownloadRequest& part, JobReport& report)>;

// runDownloadJob with its context bound, as the list takes it.
DownloadJob downloadJobWith(JobContext context);

}  // namespace quivra
