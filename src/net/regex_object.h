// A regular expression run over local text (GBK), on PCRE2 in UTF mode with
// ECMAScript \uXXXX escapes. No operation throws.
#pragma once

#include <memory>
#include <string>

namespace quivra {

class RegexObject {
  public:
    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject&);
    RegexObject& operator=(const RegexObject&);

    bool execute(const std::string& pattern, const std::string& subject, bool caseSensitive = false,
                 bool multiline = true, bool global = true, bool quotePlaceholder = false);
    std::string pattern() const;
    std::string replace(const std::string& replacement) const;
    int matchCount() const;
    // index is 1-based; position receives the 0-based byte offset in the local subject.
    std::string matchText(int index, int* position = nullptr) const;
    std::string subMatchText(int matchIndex, int groupIndex, int* position = nullptr) const;
    int subMatchCount() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

// Whether a pattern (local text) compiles as execute compiles it.
bool isValidPattern(const std::string& pattern);

}  // namespace quivra
