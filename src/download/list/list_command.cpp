#include "download/list/list_command.h"

#include <array>
#include <utility>

namespace quivra {

namespace {

constexpr std::array<std::pair<ListCommand, std::string_view>, 4> kTexts = {{
    {ListCommand::Pause, "pause"},
    {ListCommand::Resume, "resume"},
    {ListCommand::Retry, "retry"},
    {ListCommand::Cancel, "cancel"},
}};

}  // namespace

std::string_view commandText(ListCommand command) {
    for (const auto& [value, text] : kTexts) {
        if (value == command) return text;
    }
    return {};
}

std::optional<ListCommand> commandFromText(std::string_view text) {
    for (const auto& [value, known] : kTexts) {
        if (known == text) return value;
    }
    return std::nullopt;
}

}  // namespace quivra
