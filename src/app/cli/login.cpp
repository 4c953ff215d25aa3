// login --cookie | --qr | --browser NAME: the login window's ways, in the terminal.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "account/qr_login.h"
#include "account/user_info.h"
#include "app/cli/browser_login_command.h"
#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "app/cli/qr_art.h"
#include "base/shared_state.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

struct LoginOptions {
    bool cookie = false;
    bool qr = false;
    std::string browser;  // "" unless --browser
};

// More than any cookie the site sets; the rest of the input is not read.
constexpr size_t kLongestCookie = 64 * 1024;

// Echo off while a person types the cookie in a terminal, so it never shows on screen.
class HiddenInput {
  public:
    HiddenInput() {
        hidden_ = ::tcgetattr(STDIN_FILENO, &saved_) == 0;
        if (!hidden_) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~HiddenInput() {
        if (hidden_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }

  private:
    termios saved_{};
    bool hidden_ = false;
};

// The cookie from standard input: everything up to the end (a person at a terminal ends
// it with Enter), without the line breaks at its end.
std::string readCookie(Terminal& terminal) {
    const bool typed = ::isatty(STDIN_FILENO) == 1;
    std::unique_ptr<HiddenInput> hidden;
    if (typed) {
        terminal.error("cookie(仅需SESSDATA)：");
        hidden = std::make_unique<HiddenInput>();
    }
    std::string cookie;
    int c = 0;
    while (cookie.size() < kLongestCookie && (c = std::getchar()) != EOF) {
        if (typed && c == '\n') break;
        cookie.push_back(static_cast<char>(c));
    }
    while (!cookie.empty() && (cookie.back() == '\n' || cookie.back() == '\r')) cookie.pop_back();
    return cookie;
}

int loginWithCookie(Terminal& terminal) {
    return loginWithCookieText(utf8ToLocalText(readCookie(terminal)), terminal);
}

// The login window's QR page in the terminal: the code drawn once, each new state on a
// line of its own, the closing message kept for the end.
class TerminalQrView : public QrLoginView {
  public:
    explicit TerminalQrView(Terminal& terminal) : terminal_(terminal) {}

    void setStatus(const std::string& text) override {
        if (text == status_) return;  // every poll repeats the state
        status_ = text;
        terminal_.localLine(text);
    }
    void setPicture(const std::string& bmp) override {
        const std::vector<std::string> art = qrArtLines(bmp, terminal_.isTerminal());
        picture_ = art.empty() ? std::string() : bmp;
        for (const std::string& line : art) terminal_.line(line);
    }
    std::string picture() override { return picture_; }
    void showMessage(const std::string& text) override { message_ = text; }
    void closeWindow() override { closed_ = true; }

    const std::string& status() const { return status_; }
    const std::string& message() const { return message_; }
    bool closed() const { return closed_; }

  private:
    Terminal& terminal_;
    std::string status_;
    std::string picture_;
    std::string message_;
    bool closed_ = false;
};

int loginWithQr(Terminal& terminal) {
    TerminalQrView view(terminal);
    view.setStatus(localText("正在生成登录二维码"));
    CancelToken token;
    runQrLogin(view, token);
    if (view.closed()) {
        terminal.localLine(view.message());
        return kExitDone;
    }
    if (!view.message().empty()) {
        terminal.localError(view.message());
    } else if (!view.status().empty()) {
        terminal.localError(view.status());
    } else {
        terminal.error("no login code: the login host did not answer");
    }
    return kExitFailed;
}

}  // namespace

int loginWithCookieText(std::string cookie, Terminal& terminal) {
    if (fetchUserInfo(cookie)) {
        terminal.localLine(localText("登录成功，欢迎您：") + sharedState().user.get().name);
        return kExitDone;
    }
    terminal.localError(localText("登录失败，原因：") + sharedState().user.get().failureMessage);
    return kExitFailed;
}

void addLoginCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<LoginOptions>();
    CLI::App* command = app.add_subcommand(
        "login", "Log in and store the account in config.ini, as the login window does");
    CLI::Option* cookie = command->add_flag(
        "--cookie", options->cookie,
        "Read the SESSDATA cookie from standard input (never from the command line, where "
        "other users could see it)");
    CLI::Option* qr = command->add_flag(
        "--qr", options->qr, "Draw a QR code to scan with the site's app and follow the login");
    CLI::Option* browser =
        command
            ->add_option("--browser", options->browser,
                         "Read the site's login cookie from the default profile of a browser "
                         "the user is logged in with (firefox or chromium); no other cookie "
                         "is read or stored")
            ->type_name("BROWSER")
            ->check(CLI::IsMember({"firefox", "chromium"}, CLI::ignore_case));
    cookie->excludes(qr);
    browser->excludes(cookie)->excludes(qr);
    command->require_option(1);
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) {
            if (!options->browser.empty()) return runBrowserLogin(options->browser, terminal);
            return options->cookie ? loginWithCookie(terminal) : loginWithQr(terminal);
        };
    });
}

}  // namespace quivra
