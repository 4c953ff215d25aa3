#include "download/download_core.h"

#include "base/shared_state.h"
#include "download/download_schedule.h"
#include "download/engine/download_engine.h"
#include "download/engine/engine_settings.h"
#include "download/job/command_runner.h"
#include "download/job/download_job.h"
#include "download/list/download_list_start.h"
#include "download/list/download_queue.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {

CoreStart startDownloadCore(int threads, bool processMessages) {
    SharedState& state = sharedState();
    CoreStart start;
    DownloadEngine& engine = downloadEngine();
    ThreadPool& pool = threadPool();
    start.engineStarted = engine.init(state.programDirectory, true, true);
    followDownloadSettings(engine, state.download.get());
    if (pool.state() == ThreadPool::NotRunning && !pool.start(threads, processMessages)) {
        start.failure = localText("线程池创建失败");
    }
    DownloadListOpening list =
        openDownloadList(pool, downloadJobWith({engine, state.site.main, JobTimings{}}),
                         state.configPath, state.download.get().retries);
    start.storeMessage = std::move(list.message);
    auto schedule = std::make_shared<DownloadSchedule>(engine, list.queue, systemLocalMinutes);
    schedule->follow(state.download.get());
    start.core = std::make_shared<DownloadCore>(DownloadCore{engine, pool, std::move(list.queue),
                                                             state.download, state.site,
                                                             systemLocalMinutes, schedule});
    return start;
}

bool stopDownloadCore(DownloadCore& core, int workerWaitMs) {
    core.schedule->stop();
    core.queue->shutDown();
    refuseNewCommands();
    terminateStartedCommands();
    const bool stopped = workerWaitMs <= 0 || core.pool.stop(0, workerWaitMs);
    core.engine.uninit();
    return stopped;
}

}  // namespace quivra
