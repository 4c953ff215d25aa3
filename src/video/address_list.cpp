#include "video/address_list.h"

#include <set>

#include "net/text_encoding.h"
#include "video/identifier.h"

namespace quivra {

namespace {

bool isAsciiSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == '\v' ||
           c == '\f';
}

// The full-width separators as local text: ，；、 and the ideographic blank.
bool isWideSeparator(const std::string& character) {
    static const std::set<std::string> separators = {localText("，"), localText("；"),
                                                     localText("、"), localText("　")};
    return separators.contains(character);
}

}  // namespace

std::vector<std::string> splitAddresses(const std::string& text) {
    std::vector<std::string> pieces;
    std::string piece;
    auto endPiece = [&] {
        if (!piece.empty()) pieces.push_back(std::move(piece));
        piece.clear();
    };
    for (size_t i = 0; i < text.size();) {
        // A lead byte of 0x81 or more takes its trail byte: a trail byte is never a separator.
        const size_t length =
            static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size() ? 2 : 1;
        const std::string character = text.substr(i, length);
        if ((length == 1 && isAsciiSeparator(text[i])) || isWideSeparator(character)) {
            endPiece();
        } else {
            piece += character;
        }
        i += length;
    }
    endPiece();

    std::vector<std::string> addresses;
    std::set<std::string> named;
    for (std::string& address : pieces) {
        const std::string key = extractBvid(address).value_or(address);
        if (named.insert(key).second) addresses.push_back(std::move(address));
    }
    return addresses;
}

}  // namespace quivra
