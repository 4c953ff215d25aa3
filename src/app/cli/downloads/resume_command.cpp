// resume: every paused part of the download list continues (parts a program left running
// come back paused), and the command waits for them as get does.
#include <vector>

#include "app/cli/download_commands.h"
#include "app/cli/downloads/download_session.h"
#include "app/cli/exit_status.h"

namespace quivra {

int runResume(const ResumeOptions& options, Terminal& terminal) {
    Interrupts interrupts;
    const std::unique_ptr<ProgressOutput> output = makeProgressOutput(terminal, options.json);
    std::unique_ptr<DownloadSession> session = DownloadSession::start(*output, interrupts);
    if (!session) return kExitFailed;
    DownloadQueue& queue = session->queue();
    std::vector<std::int64_t> paused;
    for (const DownloadItem& item : queue.items()) {
        if (item.state == ItemState::Paused) paused.push_back(item.id);
    }
    if (paused.empty() && !options.json) terminal.line("nothing to resume");
    queue.resume(paused);
    for (std::int64_t id : paused) {
        if (const std::optional<DownloadItem> item = queue.item(id)) session->follow(*item);
    }
    const DownloadSession::Outcome outcome = session->wait();
    session.reset();
    if (outcome.interrupted) return kExitInterrupted;
    return outcome.failed > 0 ? kExitFailed : kExitDone;
}

}  // namespace quivra
