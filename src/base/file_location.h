// Where the program keeps what it stores between runs: the folder of config.ini (and of
// the download store) and the download folder used until the user picks another.
#pragma once

#include <string>

namespace quivra {

struct FileLocation {
    std::string folder;          // holds config.ini; UTF-8, no trailing '/'
    std::string downloadFolder;  // default of [download] directory; UTF-8
    bool portable = false;       // folder is the program directory
};

// Portable use keeps everything in the program directory, with downloads in its
// "download" folder: chosen when that directory already holds config.ini or a file named
// "portable", or when the user may write to it. A directory under /usr is the system's
// installed tree and never counts as writable (root may write anywhere, and a config.ini
// left there would hold root's login for every user).
// Otherwise the per-user folder $XDG_CONFIG_HOME/quivra-downloader (~/.config when the
// variable is unset or not absolute), made with mode 0700 when missing, and the user's
// download folder + "/Quivra".
FileLocation locateUserFiles(const std::string& programDirectory);

}  // namespace quivra
