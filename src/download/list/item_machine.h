// The rules of an item's life, as a plain value: an event in a state gives the item's new
// state and what must follow (a job queued or stopped, the temporary streams deleted, the
// change stored and shown, a retry at a time) as data, which the queue carries out. What
// each state allows is canPause and its kin (download_item.h). Outside the download window
// a queued part does not start, and the window's end sends a running one back to wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "download/list/download_item.h"
#include "download/list/list_command.h"
#include "download/list/retry_policy.h"

namespace quivra {

struct ItemEvent {
    enum Kind {
        Submitted,    // a new item
        Resubmitted,  // an item over, or paused, submitted again: it runs afresh
        Paused,
        Resumed,
        Cancelled,
        Retried,     // by the user: a waiting one goes on, a failed or cancelled one anew
        JobStarted,  // a worker took it
        Stage,       // the stage text
        CodecTaken,  // the job chose the part's video stream
        Progress,    // bytes, speed and the stage text
        Merging,
        JobDone,     // the MP4 is there, whatever was asked meanwhile
        JobFailed,   // on its own: mendable or not
        JobStopped,  // ended because a pause or cancel asked it to
        RetryDue,
        WindowClosed,  // the download window ended: running and queued parts wait for its start
        WindowOpened,  // it started: the parts that waited for it go on
    };
    Kind kind = Submitted;
    std::int64_t nowMs = 0;  // JobDone, JobFailed, RetryDue: epochMilliseconds()
    // JobDone: the MP4's size; Progress: the bytes so far, of the total, a second.
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    std::int64_t speed = 0;
    std::string text;                    // Progress: the stage text; JobFailed: why
    bool mendable = false;               // JobFailed: a later try may succeed
    VideoCodec codec = VideoCodec::Avc;  // CodecTaken: the video stream's
};

// What another program asks of an item this one runs, as the event it is.
ItemEvent::Kind eventOf(ListCommand command);

struct ItemEffects {
    bool changed = false;        // the item changed: to the store and the listeners
    bool stateChange = false;    // written at once; otherwise progress, at most once a second
    bool runJob = false;         // hand it to a worker
    bool stopJob = false;        // the job running it must end
    bool deleteStreams = false;  // its temporary streams go (never the MP4)
    std::int64_t retryAt = 0;    // wake the retry timer then (milliseconds since the epoch)
    bool done = false;           // finished: its video may be finished too
    bool operator==(const ItemEffects&) const = default;
};

struct ItemMachine {
    RetryPolicy retries;
    // Outside the download window: when it opens (minutes after midnight). Queued parts then
    // wait for it instead of taking a worker.
    std::optional<int> windowOpens;

    // jobRunning: a job has the item now (a cancel leaves its streams to it, as it lets go
    // of its task before they can go).
    ItemEffects apply(DownloadItem& item, const ItemEvent& event, bool jobRunning) const;
};

}  // namespace quivra
