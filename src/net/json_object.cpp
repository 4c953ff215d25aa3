#include "net/json_object.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "net/json_literal.h"
#include "net/json_path.h"
#include "net/json_text.h"
#include "net/json_writer.h"
#include "net/utf8_mending.h"

namespace quivra {

// Deeper documents are refused before parsing: the writers recurse once per level.
constexpr size_t kMaxNesting = 1000;

bool jsonNestingWithinLimit(std::string_view text) {
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxNesting) return false;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

struct JsonObject::Document {
    JsonRoot root;
};

namespace {

// allValues and memberNames hand their texts over joined by a separator and split again.
constexpr const char* kValueSeparator = "[2020年7月20日20时0分0秒]";
constexpr const char* kNameSeparator = "\r\n";

std::string_view trimmed(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<Json> readWellFormedJson(std::string_view text) {
    try {
        Json value = Json::parse(text.begin(), text.end(), nullptr, false);
        if (value.is_discarded()) return std::nullopt;
        return value;
    } catch (...) {
        return std::nullopt;
    }
}

// Reads one JSON value (UTF-8); nullopt on any error. A text refused is read once more
// mended, so ill-formed UTF-8 costs only the texts that hold it.
std::optional<Json> readJson(std::string_view text) {
    if (!jsonNestingWithinLimit(text)) return std::nullopt;
    if (auto value = readWellFormedJson(text)) return value;
    return readWellFormedJson(mendUtf8Json(text));
}

// The extra evaluation a top-level JSON string gets: its content read once more.
bool evaluateStringContent(const std::string& content, JsonRoot& root) {
    std::string_view text = trimmed(content);
    if (text.empty()) {
        root.value = nullptr;
        root.present = false;
        return false;
    }
    root.value = nullptr;
    root.present = true;
    auto value = readJson(text);
    if (!value || value->is_object() || value->is_string()) return false;
    root.value = std::move(*value);
    return !root.value.is_null();
}

bool parseInto(JsonRoot& root, const std::string& utf8, bool direct) {
    root.value = nullptr;
    root.present = true;
    std::string_view text = trimmed(utf8);
    if (text.empty()) {
        root.present = false;
        return false;
    }
    auto value = readJson(text);
    if (!value) return false;
    if (value->is_string() && !direct) {
        return evaluateStringContent(value->get_ref<const std::string&>(), root);
    }
    root.value = std::move(*value);
    return !root.value.is_null();
}

// Copies value into a fresh root the way parse(getJson(...)) would rebuild it.
void copyInto(JsonRoot& root, const Json& value) {
    if (holdsPlaceholder(value)) {
        parseInto(root, writeJson(value), false);
    } else if (value.is_string()) {
        evaluateStringContent(value.get_ref<const std::string&>(), root);
    } else {
        root.value = value;
        root.present = true;
    }
}

// Copies what the steps reach into a fresh root; the root stays absent when they reach
// nothing.
void copyReached(JsonRoot& root, const std::optional<PathSteps>& steps, JsonRoot& target) {
    target.value = nullptr;
    target.present = false;
    if (!steps) return;
    Lookup found = followPath(root, *steps);
    if (found.reach == Reach::Found) copyInto(target, *found.value);
}

// Splits a joined text again; an empty text at the end is lost.
std::vector<std::string> splitJoined(const std::vector<std::string>& pieces,
                                     const std::string& separator) {
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) joined += separator;
        joined += pieces[i];
    }
    std::vector<std::string> parts;
    if (joined.empty()) return parts;
    size_t from = 0;
    while (true) {
        size_t at = joined.find(separator, from);
        if (at == std::string::npos) {
            if (from < joined.size()) parts.push_back(joined.substr(from));
            break;
        }
        parts.push_back(joined.substr(from, at - from));
        from = at + separator.size();
    }
    return parts;
}

void collectValues(const Json& container, bool recursive, std::vector<std::string>& out) {
    for (const auto& member : container) {
        if (member.is_object() || member.is_array()) {
            if (recursive) collectValues(member, true, out);
        } else if (member.is_string() || member.is_number() || member.is_boolean()) {
            out.push_back(plainText(member));
        }
    }
}

// Merges source into target (an object or array); false when a step cannot be merged.
bool mergeInto(Json& target, const Json& source) {
    if (target.is_array()) {
        if (!source.is_array()) return false;
        for (const auto& element : source) target.push_back(element);
        return true;
    }
    if (!source.is_object()) {
        target = source;
        return true;
    }
    for (const auto& [name, value] : source.items()) {
        auto it = target.find(name);
        if (it == target.end()) {
            target[name] = value;
        } else if (it->is_null()) {
            return false;
        } else if (it->is_object() || it->is_array()) {
            if (!mergeInto(*it, value)) return false;
        } else {
            *it = value;
        }
    }
    return true;
}

// The item of addItem / setItem: a single-quoted script string or a JSON value.
std::optional<Json> itemValue(const std::string& value, bool asJson) {
    std::string utf8 = jsonTextFromLocal(value);
    if (asJson) return readJson(trimmed(utf8));
    auto text = readWholeStringLiteral("'" + utf8 + "'");
    if (!text) return std::nullopt;
    return Json(std::move(*text));
}

// A number of a string, as JavaScript's Number() reads it; nullopt when it is not one.
std::optional<double> numberFromString(const std::string& text) {
    std::string_view t = trimmed(text);
    if (t.empty()) return 0.0;
    std::string s(t);
    std::string body = s[0] == '+' || s[0] == '-' ? s.substr(1) : s;
    if (body == "Infinity") return s[0] == '-' ? -INFINITY : INFINITY;
    if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
        if (s[0] == '+' || s[0] == '-') return std::nullopt;
        if (body.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) {
            return std::nullopt;
        }
        return std::strtod(s.c_str(), nullptr);
    }
    if (body.find_first_not_of("0123456789.eE+-") != std::string::npos) return std::nullopt;
    char* end = nullptr;
    double number = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size()) return std::nullopt;
    return number;
}

}  // namespace

JsonObject::JsonObject() : document_(std::make_shared<Document>()) {}

bool JsonObject::parse(const std::string& text, bool direct) {
    return parseInto(document_->root, jsonTextFromLocal(text), direct);
}

bool JsonObject::parseUtf8(const std::string& utf8) {
    return parseInto(document_->root, utf8, false);
}

std::string JsonObject::getUtf8(const std::string& path) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return {};
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return {};
    return plainText(*found.value);
}

bool JsonObject::clear() {
    document_->root = JsonRoot{};
    return true;
}

std::string JsonObject::toText() const {
    const JsonRoot& root = document_->root;
    if (!root.present) return {};
    return jsonTextToLocal(writeJson(root.value));
}

bool JsonObject::setValue(const std::string& path, const std::string& value, bool asJson) {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return false;
    if (!asJson) {
        return assignAt(root, *steps, Json(hideBackslashes(jsonTextFromLocal(value)))) != nullptr;
    }
    auto parsed = readJson(trimmed(value.empty() ? "{}" : jsonTextFromLocal(value)));
    if (!parsed) return false;
    Lookup target = followPath(root, *steps);
    if (target.reach == Reach::Found && target.value->is_object()) {
        Json merged = *target.value;  // merge on a copy so a failure changes nothing
        if (!mergeInto(merged, *parsed)) return false;
        *target.value = std::move(merged);
        return true;
    }
    return assignAt(root, *steps, std::move(*parsed)) != nullptr;
}

bool JsonObject::setRaw(const std::string& path, const std::string& jsonText) {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    auto parsed = readJson(trimmed(jsonTextFromLocal(jsonText)));
    if (!steps || !parsed) return false;
    return assignAt(root, *steps, std::move(*parsed)) != nullptr;
}

bool JsonObject::resolvePath(std::string& path) const {
    std::string absolute;
    if (!resolvePathSteps(document_->root, jsonTextFromLocal(path), &absolute)) return false;
    path = jsonTextToLocal(absolute);
    return exists(path);
}

bool JsonObject::exists(const std::string& path) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return false;
    Lookup found = followPath(root, *steps);
    return found.reach == Reach::Found && !found.value->is_null();
}

int JsonObject::typeOf(const std::string& path) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return -1;
    Lookup found = followPath(root, *steps);
    if (found.reach == Reach::Unfollowable) return -1;
    if (found.reach == Reach::Missing) return 0;
    switch (found.value->type()) {
        case Json::value_t::boolean:
            return 1;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return 2;
        case Json::value_t::object:
            return 4;
        case Json::value_t::array:
            return 5;
        case Json::value_t::string:
            return 6;
        default:
            return 0;
    }
}

std::string JsonObject::getText(const std::string& path, bool asJson) const {
    if (asJson) return getJson(path);
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return {};
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return {};
    std::string text = plainText(*found.value);
    restoreBackslashes(text);
    return jsonTextToLocal(text);
}

int JsonObject::memberNames(std::vector<std::string>& names, const std::string& path) const {
    names.clear();
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return 0;
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found || !found.value->is_object()) return 0;
    std::vector<std::string> keys;
    for (const auto& [name, value] : found.value->items()) keys.push_back(name);
    for (auto& part : splitJoined(keys, kNameSeparator)) names.push_back(jsonTextToLocal(part));
    return static_cast<int>(names.size());
}

int JsonObject::count(const std::string& path) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return 0;
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found || !found.value->is_array()) return 0;
    return static_cast<int>(found.value->size());
}

JsonObject JsonObject::getObject(const std::string& path) const {
    JsonObject result;
    JsonRoot& root = document_->root;
    copyReached(root, resolvePathSteps(root, jsonTextFromLocal(path)), result.document_->root);
    return result;
}

bool JsonObject::addItem(const std::string& value, const std::string& path, bool asJson,
                         bool atFront) {
    auto item = itemValue(value, asJson);
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!item || !steps) return false;
    Lookup found = followPath(root, *steps);
    Json* array = found.reach == Reach::Found && found.value->is_array() ? found.value : nullptr;
    if (!array) array = assignAt(root, *steps, Json::array());
    if (!array) return false;
    if (atFront) {
        array->insert(array->begin(), std::move(*item));
    } else {
        array->push_back(std::move(*item));
    }
    return true;
}

JsonObject JsonObject::getItemObject(int index, const std::string& path) const {
    JsonObject result;
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (steps) steps->push_back(indexStep(index));
    copyReached(root, steps, result.document_->root);
    return result;
}

std::string JsonObject::getItemText(int index, const std::string& path, bool asJson) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return {};
    steps->push_back(indexStep(index));
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return {};
    if (asJson) return jsonTextToLocal(writeJson(*found.value));
    if (!found.value->is_string()) return {};
    std::string text = found.value->get<std::string>();
    restoreBackslashes(text);
    return jsonTextToLocal(text);
}

bool JsonObject::setItem(int index, const std::string& path, const std::string& value,
                         bool asJson) {
    auto item = itemValue(value, asJson);
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!item || !steps || index < 0) return false;
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return false;
    steps->push_back(indexStep(index));
    return assignAt(root, *steps, std::move(*item)) != nullptr;
}

bool JsonObject::removeItem(int index, const std::string& path) {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return false;
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found || !found.value->is_array()) return false;
    if (index < 0 || static_cast<size_t>(index) >= found.value->size()) return false;
    found.value->erase(static_cast<size_t>(index));
    return true;
}

bool JsonObject::remove(const std::string& path) {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps || steps->empty()) return false;  // the root itself cannot be deleted
    Lookup parent = followPath(root, *steps, steps->size() - 1);
    if (parent.reach != Reach::Found || parent.value->is_null()) return false;
    const PathStep& last = steps->back();
    Json& container = *parent.value;
    if (container.is_object()) {
        container.erase(last.key);
    } else if (container.is_array() && last.isIndex && last.index < container.size()) {
        container[last.index] = nullptr;  // deleting an element leaves a hole
    }
    return true;
}

bool JsonObject::setNumber(const std::string& path, double number) {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return false;
    if (number == 0) number = 0;  // -0 is written "0" and read back as 0
    return assignAt(root, *steps, Json(number)) != nullptr;
}

double JsonObject::getNumber(const std::string& path) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return 0;
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return 0;
    const Json& value = *found.value;
    if (value.is_number()) return jsonNumber(value);
    if (value.is_boolean()) return value.get<bool>() ? -1 : 0;
    if (value.is_string()) {
        auto number = numberFromString(value.get_ref<const std::string&>());
        if (number && !std::isnan(*number)) return *number;
    }
    return 0;
}

std::string JsonObject::getJson(const std::string& path) const {
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return {};
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return {};
    return jsonTextToLocal(writeJson(*found.value));
}

int JsonObject::allValues(std::vector<std::string>& values, const std::string& path,
                          bool recursive) const {
    values.clear();
    JsonRoot& root = document_->root;
    auto steps = resolvePathSteps(root, jsonTextFromLocal(path));
    if (!steps) return 0;
    Lookup found = followPath(root, *steps);
    if (found.reach != Reach::Found) return 0;
    if (!found.value->is_object() && !found.value->is_array()) return 0;
    std::vector<std::string> texts;
    collectValues(*found.value, recursive, texts);
    for (auto& part : splitJoined(texts, kValueSeparator)) values.push_back(jsonTextToLocal(part));
    return static_cast<int>(values.size());
}

std::string JsonObject::valueText(const std::string& path) const {
    return getObject(path).toText();
}

}  // namespace quivra
