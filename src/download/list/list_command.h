// What one program asks of an item another program runs, left in the item's row of
// downloads.db (its `command` column). The stored texts stay as they are: older files and
// programs running now read them.
#pragma once

#include <optional>
#include <string_view>

namespace quivra {

enum class ListCommand { Pause, Resume, Retry, Cancel };

std::string_view commandText(ListCommand command);  // "pause", "resume", ...
// Nothing for a text no program writes (an empty one: nothing asked).
std::optional<ListCommand> commandFromText(std::string_view text);

}  // namespace quivra
