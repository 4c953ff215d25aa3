// The .nfo files a media library reads beside a finished part: NN_name.nfo for the part,
// tvshow.nfo in a season's folder. One already there is left alone: the user may have
// edited it.
#pragma once

#include <string>

#include "download/list/download_item.h"

namespace quivra {

// The part's .nfo beside its file, NN_name.nfo (an episode's for an episode of a season, else a
// movie's) and, for an episode, the season's tvshow.nfo, each written whole where none is; false
// when one could not be written. The texts are the part's tags.
bool writeLibraryFiles(const DownloadRequest& part);

}  // namespace quivra
