#include "download/list/item_machine.h"

#include <ctime>

#include "net/text_encoding.h"

namespace quivra {

namespace {

ItemEffects stateChanged() {
    ItemEffects effects;
    effects.changed = effects.stateChange = true;
    return effects;
}

// stageText: nullptr keeps the text the item has.
ItemEffects setState(DownloadItem& item, ItemState state, const char* stageText) {
    item.state = state;
    if (stageText != nullptr) item.stageText = localText(stageText);
    item.speed = 0;
    return stateChanged();
}

// Queued: it takes a worker, or outside the download window waits for the window's start.
// stageText as for setState.
ItemEffects enqueue(DownloadItem& item, const char* stageText, std::optional<int> windowOpens) {
    ItemEffects effects = setState(item, ItemState::Queued, stageText);
    item.windowStart = windowOpens;
    if (windowOpens) item.stageText = windowWaitText(*windowOpens);
    effects.runJob = !windowOpens;
    return effects;
}

// A try a user starts counts the retries afresh.
ItemEffects requeue(DownloadItem& item, std::optional<int> windowOpens) {
    item.retry = 0;
    item.errorText.clear();
    item.finishedAt = 0;
    return enqueue(item, "等待下载", windowOpens);
}

ItemEffects fail(DownloadItem& item, const ItemEvent& event, const RetryPolicy& retries) {
    item.errorText = event.text;
    if (!event.mendable || item.retry >= retries.tries) {
        return setState(item, ItemState::Failed, nullptr);
    }
    ++item.retry;
    item.retryLimit = retries.tries;
    item.retryAt = event.nowMs + retries.delayBefore(item.retry).count();
    ItemEffects effects = setState(item, ItemState::Waiting, nullptr);  // keeps the failure's text
    effects.retryAt = item.retryAt;
    return effects;
}

}  // namespace

ItemEvent::Kind eventOf(ListCommand command) {
    switch (command) {
        case ListCommand::Pause:
            return ItemEvent::Paused;
        case ListCommand::Resume:
            return ItemEvent::Resumed;
        case ListCommand::Retry:
            return ItemEvent::Retried;
        case ListCommand::Cancel:
            return ItemEvent::Cancelled;
    }
    return ItemEvent::Paused;
}

ItemEffects ItemMachine::apply(DownloadItem& item, const ItemEvent& event, bool jobRunning) const {
    const ItemState state = item.state;
    switch (event.kind) {
        case ItemEvent::Submitted:
            return enqueue(item, nullptr, windowOpens);
        case ItemEvent::Resubmitted:
            item.bytesDone = 0;
            item.videoCodec.reset();  // its request may name another order: the job chooses anew
            return requeue(item, windowOpens);
        case ItemEvent::Paused: {
            if (!canPause(state)) return {};
            ItemEffects effects = setState(item, ItemState::Paused, "已暂停");
            effects.stopJob = true;
            return effects;
        }
        case ItemEvent::Resumed:
            return canResume(state) ? requeue(item, windowOpens) : ItemEffects{};
        case ItemEvent::Retried:
            if (!canRetry(state)) return {};
            // A waiting part goes on from where it is; a failed or cancelled one starts afresh.
            if (state != ItemState::Waiting) item.bytesDone = 0;
            return requeue(item, windowOpens);
        case ItemEvent::Cancelled: {
            if (!canCancel(state)) return {};
            item.bytesDone = 0;
            ItemEffects effects = setState(item, ItemState::Cancelled, "已取消");
            effects.stopJob = true;
            effects.deleteStreams = !jobRunning;  // else once the job has let go of its task
            return effects;
        }
        case ItemEvent::JobStarted:
            // Paused, cancelled or removed while it waited for a worker, or the download
            // window ended meanwhile: nothing runs.
            return state == ItemState::Queued && !windowOpens
                       ? setState(item, ItemState::Running, nullptr)
                       : ItemEffects{};
        case ItemEvent::Stage: {
            item.stageText = event.text;
            ItemEffects effects;
            effects.changed = true;
            return effects;
        }
        case ItemEvent::CodecTaken: {
            item.videoCodec = event.codec;
            ItemEffects effects;
            effects.changed = true;
            return effects;
        }
        case ItemEvent::Progress: {
            item.bytesDone = event.bytesDone;
            item.bytesTotal = event.bytesTotal;
            item.speed = event.speed;
            item.stageText = event.text;
            ItemEffects effects;
            effects.changed = true;
            return effects;
        }
        case ItemEvent::Merging:
            return setState(item, ItemState::Merging, nullptr);
        case ItemEvent::JobDone: {
            item.errorText.clear();
            item.finishedAt = event.nowMs / 1000;
            item.bytesDone = item.bytesTotal = event.bytesDone;  // the MP4's size from now on
            ItemEffects effects = setState(item, ItemState::Done, "下载完成");
            effects.done = true;
            return effects;
        }
        case ItemEvent::JobFailed:
            return fail(item, event, retries);
        case ItemEvent::JobStopped: {
            ItemEffects effects;
            effects.deleteStreams = state == ItemState::Cancelled;
            // Resumed before the job had ended, or sent back to wait for the download window.
            effects.runJob = state == ItemState::Queued && !windowOpens;
            return effects;
        }
        case ItemEvent::RetryDue: {
            if (state != ItemState::Waiting || item.retryAt > event.nowMs) return {};
            return enqueue(item, nullptr, windowOpens);
        }
        case ItemEvent::WindowClosed: {
            // A pause the schedule makes: the part stays queued, so the user's pauses stay
            // apart and the window's start sends on only these.
            const bool waits = state == ItemState::Queued && item.windowStart == windowOpens;
            if (!windowOpens || waits ||
                (state != ItemState::Queued && state != ItemState::Running)) {
                return {};
            }
            ItemEffects effects = enqueue(item, nullptr, windowOpens);
            effects.stopJob = state == ItemState::Running;
            return effects;
        }
        case ItemEvent::WindowOpened:
            if (windowOpens || state != ItemState::Queued || !item.windowStart) return {};
            return enqueue(item, "等待下载", std::nullopt);
    }
    return {};
}

}  // namespace quivra
