// Cookie merging: every entry of the new list that is not a deletion mark survives the
// merge, and removing duplicate parts twice changes nothing more.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/cookies.h"

namespace {

std::vector<std::string> entries(const std::string& list) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find("; ", start);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string oldList = input.ConsumeRandomLengthString(512);
    std::string newList = input.ConsumeRandomLengthString(512);
    const std::string separator = input.ConsumeRandomLengthString(4);
    const std::string rest = input.ConsumeRemainingBytesAsString();

    const std::string merged = quivra::mergeCookieStrings(oldList, newList);
    if (merged != oldList) std::abort();
    const std::vector<std::string> mergedParts = entries(merged);
    for (const auto& entry : entries(newList)) {
        if (entry.empty() || entry.ends_with("=deleted")) continue;
        if (!contains(mergedParts, entry)) std::abort();
    }

    // A second pass may still drop an empty part left last by the first; then it is stable.
    const std::string once = quivra::removeDuplicateParts(rest, separator);
    const std::string twice = quivra::removeDuplicateParts(once, separator);
    if (quivra::removeDuplicateParts(twice, separator) != twice) std::abort();
    quivra::removeDuplicateParts(rest, separator, quivra::DuplicateMode::ByCharacter);
    return 0;
}
