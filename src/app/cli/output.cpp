#include "app/cli/output.h"

#include <unistd.h>

#include <cstdio>

#include "net/text_encoding.h"

namespace quivra {

bool Terminal::isTerminal() const {
    return ::isatty(STDOUT_FILENO) == 1;
}

void Terminal::line(const std::string& text) {
    if (quiet_) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Terminal::localLine(const std::string& local) {
    line(localToUtf8(local));
}

void Terminal::json(const nlohmann::ordered_json& document) {
    line(jsonText(document));
}

void Terminal::piece(const std::string& text) {
    if (!quiet_) std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string jsonText(const nlohmann::ordered_json& document) {
    return document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void Terminal::error(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void Terminal::localError(const std::string& local) {
    error(localToUtf8(local));
}

nlohmann::ordered_json jsonText(const std::string& local) {
    return localToUtf8(local);
}

}  // namespace quivra
