#include "app/cli/memory_parse_view.h"

namespace quivra {

std::string MemoryParseView::failure() const {
    if (!message_.empty()) return message_;
    return rows_.empty() ? status_ : std::string();
}

}  // namespace quivra
