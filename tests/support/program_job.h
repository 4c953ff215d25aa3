// The download job as the program's core hands it to the list: the program's engine, the
// site from the shared state, the usual timings.
#pragma once

#include "base/shared_state.h"
#include "download/engine/download_engine.h"
#include "download/job/download_job.h"

namespace quivra::test {

inline DownloadJob programJob() {
    return downloadJobWith({downloadEngine(), sharedState().site.main, JobTimings{}});
}

}  // namespace quivra::test
