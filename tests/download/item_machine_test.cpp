// The rules of an item's life, without a site, an engine or ffmpeg: each event in each state
// gives this state and these effects.
#include "download/list/item_machine.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quivra {
namespace {

constexpr std::int64_t kNow = 1'700'000'000'000;

struct Case {
    const char* what;
    ItemState from;
    ItemEvent::Kind event;
    ItemState to;
    ItemEffects effects;
    bool jobRunning = false;
    bool mendable = false;
    int retry = 0;             // retries the item had before the event
    std::int64_t retryAt = 0;  // its wait's end, for RetryDue
};

ItemEffects changedState(ItemEffects effects = {}) {
    effects.changed = effects.stateChange = true;
    return effects;
}

TEST(ItemMachine, EachEventInEachStateGivesItsStateAndEffects) {
    const Case cases[] = {
        {"a new item is queued", ItemState::Queued, ItemEvent::Submitted, ItemState::Queued,
         changedState({.runJob = true})},
        {"a failed item submitted again runs afresh", ItemState::Failed, ItemEvent::Resubmitted,
         ItemState::Queued, changedState({.runJob = true})},
        {"pause stops the running job", ItemState::Running, ItemEvent::Paused, ItemState::Paused,
         changedState({.stopJob = true}), true},
        {"pause of a waiting item", ItemState::Waiting, ItemEvent::Paused, ItemState::Paused,
         changedState({.stopJob = true})},
        {"no pause while merging", ItemState::Merging, ItemEvent::Paused, ItemState::Merging, {}},
        {"no pause of a finished item", ItemState::Done, ItemEvent::Paused, ItemState::Done, {}},
        {"resume queues a paused item", ItemState::Paused, ItemEvent::Resumed, ItemState::Queued,
         changedState({.runJob = true})},
        {"resume is for paused items only",
         ItemState::Failed,
         ItemEvent::Resumed,
         ItemState::Failed,
         {}},
        {"cancel of a running item leaves the streams to its job", ItemState::Running,
         ItemEvent::Cancelled, ItemState::Cancelled, changedState({.stopJob = true}), true},
        {"cancel of a paused item deletes its streams", ItemState::Paused, ItemEvent::Cancelled,
         ItemState::Cancelled, changedState({.stopJob = true, .deleteStreams = true})},
        {"cancel of a failed item deletes its streams", ItemState::Failed, ItemEvent::Cancelled,
         ItemState::Cancelled, changedState({.stopJob = true, .deleteStreams = true})},
        {"no cancel while merging",
         ItemState::Merging,
         ItemEvent::Cancelled,
         ItemState::Merging,
         {},
         true},
        {"a finished MP4 is never cancelled",
         ItemState::Done,
         ItemEvent::Cancelled,
         ItemState::Done,
         {}},
        {"the job of a cancelled item ends: its streams go",
         ItemState::Cancelled,
         ItemEvent::JobStopped,
         ItemState::Cancelled,
         {.deleteStreams = true}},
        {"the job of an item resumed meanwhile ends: it runs again",
         ItemState::Queued,
         ItemEvent::JobStopped,
         ItemState::Queued,
         {.runJob = true}},
        {"the job of a paused item ends",
         ItemState::Paused,
         ItemEvent::JobStopped,
         ItemState::Paused,
         {}},
        {"a job done after a cancel keeps its MP4", ItemState::Cancelled, ItemEvent::JobDone,
         ItemState::Done, changedState({.done = true})},
        {"retry of a failed item", ItemState::Failed, ItemEvent::Retried, ItemState::Queued,
         changedState({.runJob = true})},
        {"retry of a waiting item at once", ItemState::Waiting, ItemEvent::Retried,
         ItemState::Queued, changedState({.runJob = true}), false, false, 2},
        {"no retry of a finished item", ItemState::Done, ItemEvent::Retried, ItemState::Done, {}},
        {"no retry of a paused item", ItemState::Paused, ItemEvent::Retried, ItemState::Paused, {}},
        {"a mendable failure waits for its first retry", ItemState::Running, ItemEvent::JobFailed,
         ItemState::Waiting, changedState({.retryAt = kNow + 5000}), true, true},
        {"a failure no retry mends is final", ItemState::Running, ItemEvent::JobFailed,
         ItemState::Failed, changedState(), true, false},
        {"the last retry's failure is final", ItemState::Running, ItemEvent::JobFailed,
         ItemState::Failed, changedState(), true, true, 2},
        {"a wait whose time came queues the item", ItemState::Waiting, ItemEvent::RetryDue,
         ItemState::Queued, changedState({.runJob = true}), false, false, 1, kNow},
        {"a wait whose time is still to come",
         ItemState::Waiting,
         ItemEvent::RetryDue,
         ItemState::Waiting,
         {},
         false,
         false,
         1,
         kNow + 1},
        {"a worker takes a queued item", ItemState::Queued, ItemEvent::JobStarted,
         ItemState::Running, changedState()},
        {"a worker takes an item paused while it waited: nothing runs",
         ItemState::Paused,
         ItemEvent::JobStarted,
         ItemState::Paused,
         {}},
    };
    ItemMachine machine;
    machine.retries.tries = 2;
    machine.retries.delays = {std::chrono::seconds(5), std::chrono::seconds(15)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DownloadItem item;
        item.state = c.from;
        item.retry = c.retry;
        item.retryAt = c.retryAt;
        ItemEvent event;
        event.kind = c.event;
        event.nowMs = kNow;
        event.mendable = c.mendable;
        EXPECT_EQ(machine.apply(item, event, c.jobRunning), c.effects);
        EXPECT_EQ(item.state, c.to);
    }
}

// A user's try counts the retries afresh and a failed or cancelled part starts from
// nothing; a waiting one goes on from where it is.
TEST(ItemMachine, ATryAUserStartsCountsRetriesAfresh) {
    struct Row {
        ItemState from;
        ItemEvent::Kind event;
        std::int64_t bytesAfter;
    };
    const Row rows[] = {{ItemState::Failed, ItemEvent::Retried, 0},
                        {ItemState::Cancelled, ItemEvent::Retried, 0},
                        {ItemState::Waiting, ItemEvent::Retried, 700},
                        {ItemState::Paused, ItemEvent::Resumed, 700},
                        {ItemState::Done, ItemEvent::Resubmitted, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(itemStateName(row.from));
        DownloadItem item;
        item.state = row.from;
        item.retry = 3;
        item.bytesDone = 700;
        item.errorText = "x";
        ItemEvent event;
        event.kind = row.event;
        ItemMachine().apply(item, event, false);
        EXPECT_EQ(item.retry, 0);
        EXPECT_EQ(item.bytesDone, row.bytesAfter);
        EXPECT_TRUE(item.errorText.empty());
    }
}

}  // namespace
}  // namespace quivra

namespace quivra {
namespace {

// Outside the download window nothing takes a worker: what would have run waits for its
// start, a merge finishes, and a pause the user made stays a pause.
TEST(ItemMachine, OutsideTheDownloadWindowPartsWaitForItsStart) {
    const Case cases[] = {
        {"a new item waits", ItemState::Queued, ItemEvent::Submitted, ItemState::Queued,
         changedState()},
        {"a resumed item waits", ItemState::Paused, ItemEvent::Resumed, ItemState::Queued,
         changedState()},
        {"a retry whose time came waits", ItemState::Waiting, ItemEvent::RetryDue,
         ItemState::Queued, changedState(), false, false, 1, kNow},
        {"the end stops a running job", ItemState::Running, ItemEvent::WindowClosed,
         ItemState::Queued, changedState({.stopJob = true}), true},
        {"the stopped job's item stays queued",
         ItemState::Queued,
         ItemEvent::JobStopped,
         ItemState::Queued,
         {}},
        {"a worker takes a queued item: nothing runs",
         ItemState::Queued,
         ItemEvent::JobStarted,
         ItemState::Queued,
         {}},
        {"a merge goes on", ItemState::Merging, ItemEvent::WindowClosed, ItemState::Merging, {}},
        {"a paused item stays paused",
         ItemState::Paused,
         ItemEvent::WindowClosed,
         ItemState::Paused,
         {}},
    };
    ItemMachine machine;
    machine.windowOpens = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DownloadItem item;
        item.state = c.from;
        item.retry = c.retry;
        item.retryAt = c.retryAt;
        ItemEvent event;
        event.kind = c.event;
        event.nowMs = kNow;
        EXPECT_EQ(machine.apply(item, event, c.jobRunning), c.effects);
        EXPECT_EQ(item.state, c.to);
    }
}

}  // namespace
}  // namespace quivra
