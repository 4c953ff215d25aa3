#include "download/download_core.h"

#include "base/shared_state.h"
#include "download/command_runner.h"
#include "download/download_engine.h"
#include "download/download_list_start.h"
#include "download/download_queue.h"
#include "download/thread_pool.h"
#include "net/text_encoding.h"

namespace quivra {

CoreStart startDownloadCore(int threads, bool processMessages) {
    CoreStart start;
    start.engineStarted = downloadEngine().init(sharedState().programDirectory, true, true);
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
