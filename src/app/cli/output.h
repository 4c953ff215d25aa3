// Where the commands write: results and states to standard output (nothing of it with
// --quiet), errors to standard error. Texts are UTF-8 unless a name says local text.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace quivra {

class Terminal {
  public:
    explicit Terminal(bool quiet) : quiet_(quiet) {}

    bool quiet() const { return quiet_; }
    // Standard output is a terminal (not a file or a pipe).
    bool isTerminal() const;

    void line(const std::string& text);
    void localLine(const std::string& local);
    // One JSON document on one line.
    void json(const nlohmann::ordered_json& document);
    // A piece of a line, for a document written as it is read (a long list).
    void piece(const std::string& text);
    void error(const std::string& text);
    void localError(const std::string& local);

  private:
    bool quiet_;
};

// A JSON document as json() writes it.
std::string jsonText(const nlohmann::ordered_json& document);

// Local text as a JSON string (UTF-8).
nlohmann::ordered_json jsonText(const std::string& local);

}  // namespace quivra
