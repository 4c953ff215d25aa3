#include "net/regex_object.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <optional>
#include <vector>

#include "net/text_encoding.h"

namespace quivra {
namespace {

constexpr const char* kQuotePlaceholder = "#引号";

struct Span {
    size_t begin = PCRE2_UNSET;
    size_t end = PCRE2_UNSET;
    bool set() const { return begin != PCRE2_UNSET; }
};

struct Match {
    Span whole;
    std::vector<Span> groups;
    size_t firstIndex = 0;  // in UTF-16 units, as the script engine counts
};

using CodePtr = std::shared_ptr<pcre2_code>;

size_t utf8Length(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// UTF-16 units taken by the UTF-8 text [from, to).
size_t utf16Units(const std::string& s, size_t from, size_t to) {
    size_t units = 0;
    for (size_t i = from; i < to;) {
        size_t length = utf8Length(static_cast<unsigned char>(s[i]));
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

char foldAscii(char c, bool ignoreCase) {
    return ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// 0-based byte offset of needle in the local haystack at or after `from`, never starting on
// the second byte of a double-byte character; npos when absent.
size_t findLocalFrom(const std::string& haystack, const std::string& needle, size_t from,
                     bool ignoreCase) {
    for (size_t i = 0; i <= haystack.size();) {
        if (i >= from && haystack.size() - i >= needle.size()) {
            bool equal = true;
            for (size_t k = 0; k < needle.size() && equal; ++k) {
                equal = foldAscii(haystack[i + k], ignoreCase) == foldAscii(needle[k], ignoreCase);
            }
            if (equal) return i;
        }
        if (i == haystack.size()) break;
        bool lead = static_cast<unsigned char>(haystack[i]) >= 0x81 && i + 1 < haystack.size();
        i += lead ? 2 : 1;
    }
    return std::string::npos;
}

}  // namespace

struct RegexObject::State {
    std::string pattern;  // local text, placeholder already replaced
    std::string subject;  // local text
    std::string subjectUtf8;
    bool ignoreCase = true;
    CodePtr code;  // null when the pattern did not compile
    bool executed = false;
    std::vector<Match> matches;
    uint32_t groupCount = 0;

    std::string spanText(const Span& span) const {
        if (!span.set()) return {};
        return utf8ToLocalText(subjectUtf8.substr(span.begin, span.end - span.begin));
    }

    // The local byte offset of text, searched from the match's character index.
    int localPosition(const std::string& text, size_t firstIndex) const {
        size_t found = findLocalFrom(subject, text, firstIndex, ignoreCase);
        return found == std::string::npos ? -2 : static_cast<int>(found);
    }

    bool run(bool global);
    std::string expand(const std::string& replacement, const Match& match) const;
};

bool RegexObject::State::run(bool global) {
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code.get(), nullptr);
    if (!data) return false;
    const auto* text = reinterpret_cast<PCRE2_SPTR>(subjectUtf8.data());
    const size_t length = subjectUtf8.size();
    uint32_t options = 0;
    size_t offset = 0;
    size_t counted = 0;  // UTF-16 units up to countedTo
    size_t countedTo = 0;
    bool ok = true;
    while (offset <= length) {
        int rc = pcre2_match(code.get(), text, length, offset, options, data, nullptr);
        options |= PCRE2_NO_UTF_CHECK;  // the subject was checked by the first call
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) {
            ok = false;  // invalid subject or a resource limit: no collection
            break;
        }
        const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
        Match match;
        match.whole = Span{vector[0], vector[1]};
        for (uint32_t g = 1; g <= groupCount; ++g) {
            if (static_cast<int>(g) < rc) {
                match.groups.push_back(Span{vector[2 * g], vector[2 * g + 1]});
            } else {
                match.groups.push_back(Span{});
            }
        }
        counted += utf16Units(subjectUtf8, countedTo, vector[0]);
        countedTo = vector[0];
        match.firstIndex = counted;
        matches.push_back(std::move(match));
        if (!global) break;
        if (vector[1] > vector[0]) {
            offset = vector[1];
        } else {
            // An empty match moves on by one character.
            offset = vector[1] < length ? vector[1] + utf8Length(text[vector[1]]) : length + 1;
        }
    }
    pcre2_match_data_free(data);
    if (!ok) matches.clear();
    return ok;
}

std::string RegexObject::State::expand(const std::string& replacement, const Match& match) const {
    std::string out;
    for (size_t i = 0; i < replacement.size(); ++i) {
        char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        char next = replacement[i + 1];
        if (next == '$') {
            out += '$';
            ++i;
        } else if (next == '&') {
            out.append(subjectUtf8, match.whole.begin, match.whole.end - match.whole.begin);
            ++i;
        } else if (next == '`') {
            out.append(subjectUtf8, 0, match.whole.begin);
            ++i;
        } else if (next == '\'') {
            out.append(subjectUtf8, match.whole.end, std::string::npos);
            ++i;
        } else if (next >= '0' && next <= '9') {
            uint32_t group = static_cast<uint32_t>(next - '0');
            size_t used = 1;
            if (i + 2 < replacement.size() && replacement[i + 2] >= '0' &&
                replacement[i + 2] <= '9') {
                uint32_t two = group * 10 + static_cast<uint32_t>(replacement[i + 2] - '0');
                if (two >= 1 && two <= groupCount) {
                    group = two;
                    used = 2;
                }
            }
            if (group < 1 || group > groupCount) {
                out += c;  // "$0" and unknown groups stay as they are
                continue;
            }
            const Span& span = match.groups[group - 1];
            if (span.set()) out.append(subjectUtf8, span.begin, span.end - span.begin);
            i += used;
        } else {
            out += c;
        }
    }
    return out;
}

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject&) = default;
RegexObject& RegexObject::operator=(const RegexObject&) = default;

bool RegexObject::execute(const std::string& pattern, const std::string& subject,
                          bool caseSensitive, bool multiline, bool global, bool quotePlaceholder) {
    auto state = std::make_shared<State>();
    state_ = state;
    std::string patternUtf8 = localToUtf8(pattern);
    if (quotePlaceholder) patternUtf8 = replaceAll(patternUtf8, kQuotePlaceholder, "\"");
    state->pattern = utf8ToLocalText(patternUtf8);
    state->subject = subject;
    state->subjectUtf8 = localToUtf8(subject);
    state->ignoreCase = !caseSensitive;

    // ECMAScript dialect: \uXXXX escapes, $ only at the very end unless multi-line. The
    // original's "Singleline" switch does not exist there, so "." never crosses a newline.
    uint32_t options =
        PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOLLAR_ENDONLY;
    if (!caseSensitive) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context) return false;
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(patternUtf8.data()),
                                     patternUtf8.size(), options, &error, &errorOffset, context);
    pcre2_compile_context_free(context);
    if (!code) return false;
    state->code = CodePtr(code, pcre2_code_free);
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &state->groupCount);
    state->executed = state->run(global);
    return state->executed;
}

bool isValidPattern(const std::string& pattern) {
    const std::string utf8 = localToUtf8(pattern);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                                     PCRE2_UTF | PCRE2_ALT_BSUX, &error, &errorOffset, nullptr);
    if (!code) return false;
    pcre2_code_free(code);
    return true;
}

std::string RegexObject::pattern() const {
    return state_ ? state_->pattern : std::string();
}

std::string RegexObject::replace(const std::string& replacement) const {
    if (!state_ || !state_->executed) return {};
    const State& s = *state_;
    std::string replacementUtf8 = localToUtf8(replacement);
    std::string out;
    size_t last = 0;
    for (const Match& match : s.matches) {
        out.append(s.subjectUtf8, last, match.whole.begin - last);
        out += s.expand(replacementUtf8, match);
        last = match.whole.end;
    }
    out.append(s.subjectUtf8, last, std::string::npos);
    return utf8ToLocalText(out);
}

int RegexObject::matchCount() const {
    return state_ ? static_cast<int>(state_->matches.size()) : 0;
}

std::string RegexObject::matchText(int index, int* position) const {
    if (!state_ || index < 1 || static_cast<size_t>(index) > state_->matches.size()) return {};
    const Match& match = state_->matches[index - 1];
    std::string text = state_->spanText(match.whole);
    if (position) *position = state_->localPosition(text, match.firstIndex);
    return text;
}

std::string RegexObject::subMatchText(int matchIndex, int groupIndex, int* position) const {
    if (!state_ || matchIndex < 1 || static_cast<size_t>(matchIndex) > state_->matches.size()) {
        return {};
    }
    const Match& match = state_->matches[matchIndex - 1];
    if (groupIndex < 1 || static_cast<size_t>(groupIndex) > match.groups.size()) return {};
    std::string text = state_->spanText(match.groups[groupIndex - 1]);
    if (position) *position = state_->localPosition(text, match.firstIndex);
    return text;
}

int RegexObject::subMatchCount() const {
    if (!state_ || state_->matches.empty()) return 0;
    return static_cast<int>(state_->groupCount);
}

}  // namespace quivra
