// The item of each output path, found by the path's hash: the items hold their paths, so a
// long list keeps no second copy of them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace quivra {

class OutputIndex {
  public:
    // The output path of an item the index holds.
    using PathOf = std::function<std::string_view(std::int64_t id)>;

    explicit OutputIndex(PathOf pathOf) : pathOf_(std::move(pathOf)) {}

    std::optional<std::int64_t> find(std::string_view path) const;
    void set(std::string_view path, std::int64_t id);  // the path's item from now on
    void add(std::string_view path, std::int64_t id);  // unless the path has one
    void erase(std::string_view path);

  private:
    std::unordered_multimap<std::size_t, std::int64_t>::const_iterator at(
        std::string_view path) const;

    PathOf pathOf_;
    std::unordered_multimap<std::size_t, std::int64_t> ids_;  // by the path's hash
};

}  // namespace quivra
