// The temporary streams of cancelled parts go: <directory>/temp/<cid>.mp4 and .mp3 with the
// engine's control files. Never a finished MP4, and never the streams of a part a job of
// another program runs now (its lock is held): its list knows nothing of this cancel.
#pragma once

#include <vector>

#include "download/list/download_item.h"

namespace quivra {

void deleteTemporaryStreams(const std::vector<DownloadRequest>& parts);

}  // namespace quivra
