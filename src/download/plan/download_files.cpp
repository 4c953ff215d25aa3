#include "download/plan/download_files.h"

#include <filesystem>
#include <system_error>

#include "net/text_encoding.h"
#include "video/title_cleaning.h"

namespace quivra {

namespace {

std::filesystem::path toPath(const std::string& local) {
    return std::filesystem::path(localToUtf8(local));
}

}  // namespace

bool ensureFolder(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    const std::filesystem::path folder = toPath(path);
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

bool isFinishedOutput(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    const std::filesystem::path file = toPath(path);
    return std::filesystem::is_regular_file(file, error) &&
           std::filesystem::file_size(file, error) > 0 && !error;
}

std::int64_t fileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(toPath(path), error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

std::string videoFolderName(const std::string& title, const std::string& bvid) {
    return title.empty() ? bvid : fitNameBytes(title, kNameBytes);
}

void deleteFile(const std::string& path) {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(toPath(path), ignored);
}

}  // namespace quivra
