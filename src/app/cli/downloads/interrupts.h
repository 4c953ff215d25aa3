// Ctrl-C (SIGINT) and SIGTERM while a command downloads. Until a part has been handed to
// the download list, the first signal ends the program at once (status 130): nothing is
// under way. From then on it asks the command to stop cleanly (DownloadSession), and a
// second signal ends the program at once.
#pragma once

#include <atomic>

namespace quivra {

class Interrupts {
  public:
    Interrupts();   // installs the handlers; a closed standard output no longer kills
    ~Interrupts();  // the defaults again
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

    // Parts are under way: from now on the first signal only asks.
    void arm();
    bool requested() const;
    // Turns true with the first signal once armed: what a listing looks at to stop.
    const std::atomic<bool>* stopFlag() const;
};

}  // namespace quivra
