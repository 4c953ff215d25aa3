#include "app/cli/downloads/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "app/cli/exit_status.h"

namespace quivra {

namespace {

// Lock-free atomics: safe to touch in a signal handler.
std::atomic<bool> armed{false};
std::atomic<int> signalsSeen{0};
std::atomic<bool> stopAsked{false};

void onSignal(int) {
    if (signalsSeen.fetch_add(1) > 0 || !armed.load()) ::_exit(kExitInterrupted);
    stopAsked = true;
}

void setHandler(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

Interrupts::Interrupts() {
    armed = false;
    signalsSeen = 0;
    stopAsked = false;
    setHandler(SIGINT, onSignal);
    setHandler(SIGTERM, onSignal);
    setHandler(SIGPIPE, SIG_IGN);
}

Interrupts::~Interrupts() {
    setHandler(SIGINT, SIG_DFL);
    setHandler(SIGTERM, SIG_DFL);
    setHandler(SIGPIPE, SIG_DFL);
}

void Interrupts::arm() {
    armed = true;
}

bool Interrupts::requested() const {
    return signalsSeen.load() > 0;
}

const std::atomic<bool>* Interrupts::stopFlag() const {
    return &stopAsked;
}

}  // namespace quivra
