// Paths into a JSON document: "data.pages[3].cid", "data['level_info']['current_level']",
// "[0].name", and "da"-prefixed absolute forms. Steps are UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/json_writer.h"

namespace quivra {

struct PathStep {
    std::string key;       // member name; for a number, its decimal text
    bool isIndex = false;  // a valid array index
    size_t index = 0;
};

using PathSteps = std::vector<PathStep>;

// The steps of a member expression made only of ".name", "[digits]" and "['name']" steps.
// nullopt on a syntax error (unclosed bracket or quote, empty name, ...).
std::optional<PathSteps> parsePathSteps(std::string_view expression);

PathStep indexStep(long long index);

// How far a path reaches into a document.
enum class Reach { Unfollowable, Missing, Found };

struct JsonRoot {
    Json value = Json::object();
    bool present = true;  // a missing root is not the same as a null one
};

struct Lookup {
    Reach reach = Reach::Unfollowable;
    Json* value = nullptr;
};

// Follows steps [0, stepCount) from the root. A step on a missing or null value cannot be
// followed; a missing last member is Missing.
Lookup followPath(JsonRoot& root, const PathSteps& steps, size_t stepCount);
inline Lookup followPath(JsonRoot& root, const PathSteps& steps) {
    return followPath(root, steps, steps.size());
}

// Resolves a path (UTF-8) by the rules of the "da" root name. absolute, when given,
// receives the path rewritten with the root name in front.
std::optional<PathSteps> resolvePathSteps(JsonRoot& root, const std::string& path,
                                          std::string* absolute = nullptr);

// Stores value at the place steps name; the parent must be an object or an array (for an
// array the last step must be an index; a gap is filled with nulls). Returns the stored node
// or nullptr when nothing changed.
Json* assignAt(JsonRoot& root, const PathSteps& steps, Json value);

}  // namespace quivra
