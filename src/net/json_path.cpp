#include "net/json_path.h"

#include <cstdlib>

#include "net/json_literal.h"

namespace quivra {
namespace {

// Writing beyond the end of an array fills the gap; this bounds the memory one write can take.
constexpr size_t kMaxArrayGap = 100000;
// Indexes up to this many digits are taken as array positions.
constexpr size_t kMaxIndexDigits = 9;

bool isNameEnd(char c) {
    return c == '.' || c == '[';
}

bool isForbiddenInName(char c) {
    return c == ']' || c == '\'' || c == '"' || c == ' ' || c == '\t' || c == '(' || c == ')' ||
           c == '+' || c == '-' || c == '*' || c == '/' || c == ',' || c == ';' || c == '=';
}

void skipBlanks(std::string_view text, size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
}

std::optional<PathStep> readBracketNumber(std::string_view text, size_t& pos) {
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    size_t begin = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    if (pos == begin) return std::nullopt;
    std::string digits(text.substr(begin, pos - begin));
    size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "0" : digits.substr(first);
    if (negative && digits != "0") {
        return PathStep{"-" + jsNumberText(std::strtod(digits.c_str(), nullptr)), false, 0};
    }
    if (digits.size() > kMaxIndexDigits) {
        return PathStep{jsNumberText(std::strtod(digits.c_str(), nullptr)), false, 0};
    }
    return PathStep{digits, true, std::strtoul(digits.c_str(), nullptr, 10)};
}

Lookup stepInto(Json& value, const PathStep& step) {
    if (value.is_object()) {
        auto it = value.find(step.key);
        if (it == value.end()) return {Reach::Missing, nullptr};
        return {Reach::Found, &*it};
    }
    if (value.is_array() && step.isIndex && step.index < value.size()) {
        return {Reach::Found, &value[step.index]};
    }
    return {Reach::Missing, nullptr};  // primitives and arrays have no such member
}

}  // namespace

PathStep indexStep(long long index) {
    if (index < 0) return PathStep{std::to_string(index), false, 0};
    return PathStep{std::to_string(index), true, static_cast<size_t>(index)};
}

std::optional<PathSteps> parsePathSteps(std::string_view text) {
    PathSteps steps;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '.') {
            size_t begin = ++pos;
            while (pos < text.size() && !isNameEnd(text[pos])) {
                if (isForbiddenInName(text[pos])) return std::nullopt;
                ++pos;
            }
            if (pos == begin || (text[begin] >= '0' && text[begin] <= '9')) return std::nullopt;
            steps.push_back(PathStep{std::string(text.substr(begin, pos - begin)), false, 0});
        } else if (text[pos] == '[') {
            ++pos;
            skipBlanks(text, pos);
            std::optional<PathStep> step;
            if (pos < text.size() && (text[pos] == '\'' || text[pos] == '"')) {
                auto name = readStringLiteral(text, pos);
                if (name) step = PathStep{*name, false, 0};
            } else {
                step = readBracketNumber(text, pos);
            }
            skipBlanks(text, pos);
            if (!step || pos >= text.size() || text[pos] != ']') return std::nullopt;
            ++pos;
            // A quoted name that is a plain array index reaches the element, as in script.
            if (!step->isIndex && !step->key.empty() && step->key.size() <= kMaxIndexDigits &&
                step->key.find_first_not_of("0123456789") == std::string::npos &&
                (step->key == "0" || step->key[0] != '0')) {
                step->isIndex = true;
                step->index = std::strtoul(step->key.c_str(), nullptr, 10);
            }
            steps.push_back(std::move(*step));
        } else {
            return std::nullopt;
        }
    }
    return steps;
}

Lookup followPath(JsonRoot& root, const PathSteps& steps, size_t stepCount) {
    if (!root.present) return {stepCount == 0 ? Reach::Missing : Reach::Unfollowable, nullptr};
    Lookup at{Reach::Found, &root.value};
    for (size_t i = 0; i < stepCount; ++i) {
        if (at.reach != Reach::Found || at.value->is_null()) return {Reach::Unfollowable, nullptr};
        at = stepInto(*at.value, steps[i]);
    }
    return at;
}

std::optional<PathSteps> resolvePathSteps(JsonRoot& root, const std::string& path,
                                          std::string* absolute) {
    // "da" names the root: "da.x" is first tried as the root's member x.
    if (path.size() >= 2 && path.compare(0, 2, "da") == 0 &&
        (path.size() == 2 || isNameEnd(path[2]))) {
        auto steps = parsePathSteps(std::string_view(path).substr(2));
        if (steps) {
            Lookup found = followPath(root, *steps);
            if (found.reach == Reach::Found && !found.value->is_null()) {
                if (absolute) *absolute = path;
                return steps;
            }
        }
    }
    std::string relative = path.empty() || path[0] == '[' ? path : "." + path;
    if (absolute) *absolute = "da" + relative;
    return parsePathSteps(relative);
}

Json* assignAt(JsonRoot& root, const PathSteps& steps, Json value) {
    if (steps.empty()) {
        root.value = std::move(value);
        root.present = true;
        return &root.value;
    }
    Lookup parent = followPath(root, steps, steps.size() - 1);
    if (parent.reach != Reach::Found) return nullptr;
    Json& container = *parent.value;
    const PathStep& last = steps.back();
    if (container.is_object()) {
        Json& slot = container[last.key];
        slot = std::move(value);
        return &slot;
    }
    if (container.is_array() && last.isIndex) {
        if (last.index >= container.size()) {
            if (last.index - container.size() > kMaxArrayGap) return nullptr;
            container.get_ref<Json::array_t&>().resize(last.index + 1);
        }
        container[last.index] = std::move(value);
        return &container[last.index];
    }
    return nullptr;
}

}  // namespace quivra
