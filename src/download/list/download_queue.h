// The download list in memory and at work: every submitted part is an item, bound to what
// it downloads; the thread pool runs the job the queue was handed, once per queued item, and
// the item machine's rules (item_machine.h) decide what each event does. Items can be paused (the
// job ends and gives its worker back, the partial streams stay), resumed, cancelled,
// retried and removed. Every change goes to the store and to the listeners. Headless:
// the main window, the download list window and the command line are all listeners.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "download/job/download_job.h"
#include "download/list/download_item.h"
#include "download/list/download_store.h"
#include "download/list/loaded_items.h"
#include "download/list/retry_policy.h"

namespace quivra {

class ThreadPool;

class DownloadQueueListener {
  public:
    virtual ~DownloadQueueListener() = default;
    // An item was added or changed: state, texts, bytes, speed. Called in the order of the
    // changes, on the thread that made the change, under the queue's lock: a listener
    // hands the event on (to the GUI thread, to the terminal) and never calls the queue.
    virtual void itemChanged(const DownloadItem& item) = 0;
    virtual void itemRemoved(std::int64_t id) = 0;
    // The last unfinished item of a video is done; every item of that video is done.
    virtual void videoFinished(const std::string& /*bvid*/, const std::string& /*videoTitle*/) {}
};

class DownloadQueue {
  public:
    // items: what the store held. Parts that were queued, running or merging when the
    // program ended come back paused ("已暂停"); resumeInterrupted() sends them on.
    DownloadQueue(ThreadPool& pool, DownloadJob job, std::unique_ptr<DownloadStore> store = nullptr,
                  std::vector<DownloadItem> items = {});
    // The same, with the items as the store handed them over one at a time.
    DownloadQueue(ThreadPool& pool, DownloadJob job, std::unique_ptr<DownloadStore> store,
                  LoadedItems loaded);
    // Stops its jobs (their streams stay), writes what is pending, waits for the jobs.
    ~DownloadQueue();
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    struct Submission {
        DownloadItem item;     // the item the part is now bound to
        bool started = false;  // a job was queued for it
    };
    // One item per output path: a part whose output path is queued, running, merging or
    // done (with its file still there) is not submitted again; a paused one resumes; a
    // failed or cancelled one (or a done one whose file is gone) is queued again with the
    // new request.
    Submission submit(const DownloadRequest& request);
    // The parts of one video, submitted as above, and the video noted as seen by its
    // subscription: the store writes both in one transaction (without a store, the parts).
    std::vector<Submission> submitSeen(const std::vector<DownloadRequest>& parts,
                                       const SeenVideo& seen);
    // Blocks until the store holds every change made so far.
    void flushStore();

    void pause(const std::vector<std::int64_t>& ids);   // queued, running or waiting
    void resume(const std::vector<std::int64_t>& ids);  // paused
    // Queued, running, waiting, paused or failed: the job stops, the temporary streams
    // go. A finished MP4 is never deleted.
    void cancel(const std::vector<std::int64_t>& ids);
    void retry(const std::vector<std::int64_t>& ids);  // failed, cancelled or waiting: now

    // A job that fails for a reason a later try may mend leaves its item waiting
    // ("等待重试（2/5）"), queued again once the policy's wait is over; a try that a user
    // starts (submit, resume, retry) counts the retries afresh.
    void setRetryPolicy(RetryPolicy policy);
    RetryPolicy retryPolicy() const;
    // Forgets the items; every file stays.
    void remove(const std::vector<std::int64_t>& ids);
    void resumeInterrupted();

    // Outside the download window (opensAt: when it opens, minutes after midnight) queued
    // parts wait for it and running ones go back to wait, their streams kept; none: the
    // window is open and the parts that waited go on. Parts the user paused stay paused.
    void followDownloadWindow(std::optional<int> opensAt);

    std::vector<DownloadItem> items() const;  // oldest first
    // Each item, oldest first, under the queue's lock and without a copy: what a long list
    // looks at often. The visit never calls the queue.
    void visitItems(const std::function<void(const DownloadItem&)>& visit) const;
    // The items that are not done, as visitItems shows them: what runs or may run again,
    // without the finished parts that make most of a long list.
    void visitItemsNotDone(const std::function<void(const DownloadItem&)>& visit) const;
    // The item, as visitItems shows it; false when the queue has none of that id.
    bool visitItem(std::int64_t id, const std::function<void(const DownloadItem&)>& visit) const;
    std::optional<DownloadItem> item(std::int64_t id) const;

    void addListener(std::shared_ptr<DownloadQueueListener> listener);
    void removeListener(const DownloadQueueListener* listener);

    // The program ends: from now on nothing changes and nothing reaches the store, so
    // what it holds is the list as it was (running parts stay unfinished for the next
    // start); what was handed over is written before this returns. Jobs are not waited for.
    void shutDown();

    struct Core;

  private:
    Submission submitLocked(const DownloadRequest& request);  // under the queue's lock
    std::shared_ptr<Core> core_;
};

}  // namespace quivra
