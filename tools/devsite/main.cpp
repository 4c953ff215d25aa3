// The local site as a process of its own, for the demo and for manual trials:
//   devsite [--port N] [--bytes-per-second N] [--cache DIR] [--large-bytes N]
//           [--answer-delay-ms N]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "devsite/dev_site.h"

namespace {

void usage() {
    std::fprintf(
        stderr,
        "usage: devsite [--port N] [--bytes-per-second N] [--cache DIR] [--large-bytes N]\n"
        "               [--answer-delay-ms N]\n");
}

}  // namespace

int main(int argc, char** argv) {
    devsite::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            usage();
            return 2;
        }
        const char* value = argv[++i];
        if (name == "--port")
            options.port = std::atoi(value);
        else if (name == "--bytes-per-second")
            options.bytesPerSecond = std::atoll(value);
        else if (name == "--cache")
            options.cacheDir = value;
        else if (name == "--large-bytes")
            options.largeFileBytes = std::atoll(value);
        else if (name == "--answer-delay-ms")
            options.answerDelayMs = std::atoi(value);
        else {
            usage();
            return 2;
        }
    }
    // Wait for SIGINT/SIGTERM on this thread; the server threads must not take them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    devsite::DevSite site(options);
    if (!site.start()) {
        std::fprintf(stderr,
                     "devsite: could not start (port taken, fixtures or ffmpeg missing?)\n");
        return 1;
    }
    std::printf("devsite listening on %s\n", site.baseUrl().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    site.stop();
    return 0;
}
