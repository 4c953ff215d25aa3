// The download machinery of one program: the engine, the thread pool, the download list
// and its store. The windows and quivra-downloader-downloads start it and end it through
// these two routines, so both close in the same order.
#pragma once

#include <string>

namespace quivra {

struct CoreStart {
    bool engineStarted = false;
    std::string failure;       // why the pool did not start (local text), or ""
    std::string storeMessage;  // a broken downloads.db moved aside (local text), or ""
};

// Once the shared state is loaded: starts the engine in the program folder, the pool
// with `threads` workers (unless it runs already), and opens the list (openDownloadList).
// The caller decides what a failure means; stopDownloadCore undoes a partial start.
CoreStart startDownloadCore(int threads, bool processMessages);

// Ends the core: first the list is shut (parts still running stay unfinished in the
// store), then our merges are ended and no new one starts, the workers get up to
// workerWaitMs to let go (0: they are not waited for), and the engine is released
// (partial streams stay resumable). False when a worker still ran at the end.
bool stopDownloadCore(int workerWaitMs);

}  // namespace quivra
