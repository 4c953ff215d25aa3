// The config.ini reader and writer on arbitrary file bytes and names: reading never
// fails badly, and a write keeps every other line of the file where it was.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "base/profile_line.h"

namespace {

std::string filePath() {
    static const std::string path = [] {
        char folder[] = "/tmp/quivra-config-fuzz-XXXXXX";
        if (!mkdtemp(folder)) std::abort();
        return std::string(folder) + "/config.ini";
    }();
    return path;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The lines' texts without trailing CRs; a last line without a break counts like one with
// it (the writer ends it with the file's line break).
std::vector<std::string> lineTexts(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        std::string line = content.substr(start, end == std::string::npos ? end : end - start);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

// A write replaces one line or adds one line (a key) or two (a section and its key),
// all at one place.
void checkOtherLinesKept(const std::string& before, const std::string& after) {
    const std::vector<std::string> oldLines = lineTexts(before);
    const std::vector<std::string> newLines = lineTexts(after);
    size_t prefix = 0;
    while (prefix < oldLines.size() && prefix < newLines.size() &&
           oldLines[prefix] == newLines[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < oldLines.size() - prefix && suffix < newLines.size() - prefix &&
           oldLines[oldLines.size() - 1 - suffix] == newLines[newLines.size() - 1 - suffix]) {
        ++suffix;
    }
    const size_t lost = oldLines.size() - prefix - suffix;
    const size_t added = newLines.size() - prefix - suffix;
    if (lost > 1 || added > 2 || added == 0) std::abort();
}

// Names the file holds as given: the reader sees the same name in the written line.
bool keepsNames(const std::string& section, const std::string& key) {
    const std::string sectionName = quivra::profileNameArgument(section);
    const std::string keyName = quivra::profileNameArgument(key);
    return quivra::readProfileLine("[" + sectionName + "]").name == sectionName &&
           quivra::readProfileLine(keyName + "=v").name == keyName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(32);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string otherSection = input.ConsumeRandomLengthString(32);
    const std::string otherKey = input.ConsumeRandomLengthString(32);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string path = filePath();
    writeFile(path, content);
    quivra::findConfigItem(path, section, key);
    quivra::readConfigItem(path, section, key, value);
    quivra::textToInteger(content);
    const std::optional<std::string> other = quivra::findConfigItem(path, otherSection, otherKey);

    if (!quivra::writeConfigItem(path, section, key, value)) {
        if (readFile(path) != content) std::abort();  // a refused write leaves the file alone
        return 0;
    }
    checkOtherLinesKept(content, readFile(path));
    // Any other item reads as before; only the written one may have changed.
    const std::optional<std::string> written = quivra::findConfigItem(path, section, key);
    if (!written && keepsNames(section, key)) std::abort();
    const std::optional<std::string> otherAfter =
        quivra::findConfigItem(path, otherSection, otherKey);
    if (other && otherAfter != other && otherAfter != written) std::abort();
    return 0;
}
