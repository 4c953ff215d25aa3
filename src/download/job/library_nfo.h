// The files a media library reads beside a video (.nfo): what it shows instead of the
// file's name, in the XML form both common media centres read.
#pragma once

#include <string>

namespace quivra {

// Texts are UTF-8.
struct LibraryEntry {
    std::string title;
    std::string plot;       // the description
    std::string premiered;  // yyyy-MM-dd; "" unknown
    std::string studio;     // the uploader
    std::string uniqueId;   // the BV identifier, or a season's or episode's id
    std::string thumb;      // the cover beside it ("cover.jpg"); "" none
    int episode = 0;        // an episode of a season: its number
};

// <movie> for a video's part.
std::string movieNfo(const LibraryEntry& entry);
// <episodedetails> for an episode of a season (season 1).
std::string episodeNfo(const LibraryEntry& entry);
// tvshow.nfo in a season's folder.
std::string tvshowNfo(const LibraryEntry& entry);

}  // namespace quivra
