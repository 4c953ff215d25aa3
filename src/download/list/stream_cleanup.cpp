#include "download/list/stream_cleanup.h"

#include <string>

#include "download/job/part_lock.h"
#include "download/plan/download_files.h"

namespace quivra {

void deleteTemporaryStreams(const std::vector<DownloadRequest>& parts) {
    for (const DownloadRequest& part : parts) {
        PartLock lock;
        if (lock.tryTake(partLockPath(part)) == PartLock::Busy) continue;
        for (const std::string& path : {temporaryVideoPath(part), temporaryAudioPath(part)}) {
            deleteFile(path);
            deleteFile(path + ".aria2");  // the engine's control file
        }
    }
}

}  // namespace quivra
