// A program started as a child process that a test watches while it runs: its standard
// input given, its standard output and error read as they come, signals sent to it, its
// end awaited.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quivra::test {

struct ProgramRun {
    int status = -1;  // the exit status; 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

class StartedProgram {
  public:
    // input is written to the program's standard input, which is then closed.
    StartedProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& input = "") {
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        child_ = ::fork();
        if (child_ == 0) {
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
        streams_[0] = {out[0], POLLIN, 0};
        streams_[1] = {err[0], POLLIN, 0};
    }
    ~StartedProgram() {
        if (child_ > 0 && !reaped_) {
            ::kill(child_, SIGKILL);
            finish();
        }
        for (const pollfd& stream : streams_) {
            if (stream.fd >= 0) ::close(stream.fd);
        }
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool started() const { return child_ > 0; }
    const std::string& out() const { return run_.out; }
    // It ended by exit, not by a signal (an exit status of 130 is not a death by SIGINT).
    bool exited() const { return exited_; }
    const std::string& err() const { return run_.err; }

    // Reads what comes until `holds(out)` is true (true) or the limit passes, or the
    // program closed its output (false).
    bool waitForOutput(const std::function<bool(const std::string&)>& holds,
                       std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!holds(run_.out)) {
            if (std::chrono::steady_clock::now() > deadline || !readSome(200)) return false;
        }
        return true;
    }

    void signal(int number) {
        if (child_ > 0 && !reaped_) ::kill(child_, number);
    }

    // Reads to the end and reaps the program; after `limit` it is killed (status 128 + 9).
    ProgramRun finish(std::chrono::seconds limit = std::chrono::seconds(120)) {
        if (child_ <= 0 || reaped_) return run_;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        bool killed = false;
        while (readSome(200)) {
            if (!killed && std::chrono::steady_clock::now() > deadline) {
                ::kill(child_, SIGKILL);
                killed = true;
            }
        }
        int status = 0;
        ::waitpid(child_, &status, 0);
        reaped_ = true;
        exited_ = WIFEXITED(status);
        run_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return run_;
    }

  private:
    // Waits up to ms for output; false once both streams are closed.
    bool readSome(int ms) {
        if (streams_[0].fd < 0 && streams_[1].fd < 0) return false;
        if (::poll(streams_, 2, ms) < 0) return false;
        std::string* texts[2] = {&run_.out, &run_.err};
        for (int i = 0; i < 2; ++i) {
            if (streams_[i].fd < 0 || streams_[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(streams_[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<size_t>(got));
            } else {
                ::close(streams_[i].fd);
                streams_[i].fd = -1;
            }
        }
        return true;
    }

    pid_t child_ = -1;
    bool reaped_ = false;
    bool exited_ = false;
    pollfd streams_[2] = {{-1, POLLIN, 0}, {-1, POLLIN, 0}};
    ProgramRun run_;
};

}  // namespace quivra::test
