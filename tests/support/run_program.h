// Runs a program as a child process, with its standard input given and its standard
// output and error collected, for tests and benchmarks of the real binary.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace quivra::test {

struct ProgramRun {
    int status = -1;  // the exit status; 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

// Waits for the program to end; after `limit` it is killed (status 128 + 9).
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& input = "",
                             std::chrono::seconds limit = std::chrono::seconds(120)) {
    ProgramRun run;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        return run;
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // Small inputs fit the pipe; a child that ends early must not stop this process.
    ::signal(SIGPIPE, SIG_IGN);
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {
        // The child did not read its input; its exit status tells the test.
    }
    ::close(in[1]);

    const auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd streams[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&run.out, &run.err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            killed = true;
        }
        if (::poll(streams, 2, 200) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(streams[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<size_t>(got));
            } else {
                ::close(streams[i].fd);
                streams[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace quivra::test
