#include "download/job/command_runner.h"
#include "base/gui_thread.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

extern char** environ;

namespace quivra {

namespace {

// Children that runCommand started and that have not been reaped yet. Each leads its
// own process group, so signalling the group reaches whatever the shell started.
std::mutex registryMutex;
std::set<pid_t> runningChildren;
bool refusing = false;  // the program is closing: nothing starts any more

// Waits for the child to end without reaping it, unregisters it, then reaps it; a pid
// is thus never signalled after the system may have handed it to another process.
int reapChild(pid_t pid) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    {
        std::lock_guard lock(registryMutex);
        runningChildren.erase(pid);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool childHasEnded(pid_t pid) {
    siginfo_t info{};
    info.si_pid = 0;
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        return errno != EINTR;
    }
    return info.si_pid == pid;
}

pid_t spawnShell(const std::string& command, int outputFd) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    // Descriptors that other parts of the program opened without close-on-exec (the
    // engine's sockets among them) stay with us.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::string shell = "/bin/sh";
    std::string flag = "-c";
    std::string line = command;
    char* argv[] = {shell.data(), flag.data(), line.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, shell.c_str(), &actions, &attributes, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// Reads what is waiting on the non-blocking pipe. Returns false at end of file.
bool readAvailable(int fd, std::string& chunk) {
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            chunk.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

}  // namespace

std::string runCommand(const std::string& command, const OutputReceiver& receiver,
                       int* exitStatus) {
    if (exitStatus != nullptr) *exitStatus = -1;
    std::string collected;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return collected;
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);

    pid_t pid;
    {
        // Held across the spawn so that terminateStartedCommands never misses a child.
        std::lock_guard lock(registryMutex);
        pid = refusing ? -1 : spawnShell(command, fds[1]);
        if (pid > 0) runningChildren.insert(pid);
    }
    close(fds[1]);
    if (pid <= 0) {
        close(fds[0]);
        return collected;
    }

    // With the GUI thread waiting here, Qt events keep being handled between looks.
    const bool gui = onApplicationThread();
    bool stoppedByReceiver = false;
    bool open = true;
    while (open) {
        pollfd watch{fds[0], POLLIN, 0};
        int ready = poll(&watch, 1, gui ? 20 : 100);
        std::string chunk;
        if (ready > 0) open = readAvailable(fds[0], chunk);
        if (!chunk.empty()) {
            // A chunk is text: it ends at its first zero byte.
            chunk.resize(std::strlen(chunk.c_str()));
            if (receiver && receiver(chunk) != 0) {
                stoppedByReceiver = true;
                break;
            }
            collected += chunk;
        } else if (open && childHasEnded(pid)) {
            // The command has ended and nothing is waiting: a background process of
            // the shell that still holds the pipe does not keep us here.
            std::string rest;
            readAvailable(fds[0], rest);
            if (rest.empty()) break;
            chunk = std::move(rest);
            chunk.resize(std::strlen(chunk.c_str()));
            if (receiver && receiver(chunk) != 0) {
                stoppedByReceiver = true;
                break;
            }
            collected += chunk;
        }
        if (gui) QCoreApplication::processEvents();
    }
    close(fds[0]);

    if (stoppedByReceiver) {
        // The command goes on without us; it is reaped when it ends and stays
        // registered until then.
        std::thread([pid] { reapChild(pid); }).detach();
        return collected;
    }
    int status = reapChild(pid);
    if (exitStatus != nullptr) *exitStatus = status;
    return collected;
}

void refuseNewCommands() {
    std::lock_guard lock(registryMutex);
    refusing = true;
}

int terminateStartedCommands() {
    std::set<pid_t> targets;
    {
        std::lock_guard lock(registryMutex);
        targets = runningChildren;
        for (pid_t pid : targets) kill(-pid, SIGTERM);
    }
    if (targets.empty()) return 0;

    // A short grace, then whatever of ours still runs is killed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (;;) {
        {
            std::lock_guard lock(registryMutex);
            bool anyLeft = false;
            for (pid_t pid : targets) anyLeft = anyLeft || runningChildren.count(pid) != 0;
            if (!anyLeft) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                for (pid_t pid : targets) {
                    if (runningChildren.count(pid) != 0) kill(-pid, SIGKILL);
                }
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return static_cast<int>(targets.size());
}

}  // namespace quivra
