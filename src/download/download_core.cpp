#include "download/download_core.h"

#include "base/shared_state.h"
#include "download/job/command_runner.h"
#include "download/engine/download_engine.h"
#include "download/list/download_list_start.h"
#include "download/list/download_queue.h"
#include "download/engine/engine_settings.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {

CoreStart startDownloadCore(int threads, bool processMessages) {
    CoreStart start;
    start.engineStarted = downloadEngine().init(sharedState().programDirectory, true, true);
    followDownloadSettings(downloadEngine(), sharedState().download.get());
    if (threadPool().state() == ThreadPool::NotRunning &&
        !threadPool().start(threads, processMessages)) {
        start.failure = localText("线程池创建失败");
    }
    start.storeMessage = openDownloadList();
    return start;
}

bool stopDownloadCore(int workerWaitMs) {
    currentDownloadQueue()->shutDown();
    refuseNewCommands();
    terminateStartedCommands();
    const bool stopped = workerWaitMs <= 0 || threadPool().stop(0, workerWaitMs);
    downloadEngine().uninit();
    return stopped;
}

}  // namespace quivra
