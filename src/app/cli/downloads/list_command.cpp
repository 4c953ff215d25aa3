// list: the items of downloads.db, oldest first.
#include <utility>

#include "app/cli/download_commands.h"
#include "app/cli/downloads/item_text.h"
#include "app/cli/exit_status.h"
#include "base/shared_state.h"
#include "download/job/part_lock.h"
#include "download/job/progress_text.h"
#include "download/list/download_store.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// A part the store lists as running or merging runs only while a job of some program
// holds its lock; otherwise its program ended, and any program started now shows it
// paused.
DownloadItem asItIs(DownloadItem item) {
    const bool working = item.state == ItemState::Running || item.state == ItemState::Merging;
    if (working && !isPartLocked(item.request)) {
        item.state = ItemState::Paused;
        item.stageText = localText("已暂停");
    }
    return item;
}

// "<state>  <title> / <NN name>  <quality>  <size>  <file>"
std::string itemLine(const DownloadItem& item) {
    std::string line = partStateText(item) + "  " + localToUtf8(item.request.videoTitle) + " / " +
                       partLabel(item) + "  " + localToUtf8(itemQualityText(item));
    if (item.bytesTotal > 0) {
        line += "  " + byteSizeText(item.bytesDone) + "/" + byteSizeText(item.bytesTotal);
    }
    return line + "  " + localToUtf8(item.request.outputPath);
}

}  // namespace

int runList(const ListOptions& options, Terminal& terminal) {
    // Each item is written as it is read: a list of any length costs one item's memory.
    bool first = true;
    StoreOpening opening = DownloadStore::open(
        downloadStorePath(sharedState().configPath), [&](DownloadItem&& stored) {
            const DownloadItem item = asItIs(std::move(stored));
            if (options.json) {
                terminal.piece((first ? "[" : ",") + jsonText(partJson(item)));
            } else {
                terminal.line(itemLine(item));
            }
            first = false;
        });
    if (options.json && (opening.store || !first)) terminal.line(first ? "[]" : "]");
    if (!opening.movedAsideTo.empty()) {
        terminal.localError(brokenStoreMessage(opening.movedAsideTo));
    }
    if (!opening.store) {
        terminal.error("downloads.db cannot be opened (busy, or its folder is not writable)");
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace quivra
