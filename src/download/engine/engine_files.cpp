#include <filesystem>
#include <system_error>

#include "download/engine/download_engine.h"
#include "net/text_encoding.h"

namespace quivra {

bool isCompleteDownload(const std::string& filePath) {
    if (filePath.empty()) return false;
    std::error_code error;
    const std::filesystem::path file(localToUtf8(filePath));
    if (!std::filesystem::is_regular_file(file, error)) return false;
    // aria2 keeps "<file>.aria2" beside a file until its last byte has arrived.
    std::filesystem::path control = file;
    control += ".aria2";
    return !std::filesystem::exists(control, error) && !error;
}

}  // namespace quivra
