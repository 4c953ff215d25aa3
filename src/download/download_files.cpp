#include "download/download_files.h"

#include <filesystem>
#include <system_error>

#include "net/text_encoding.h"

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

bool fileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    return std::filesystem::exists(toPath(path), error);
}

void deleteFile(const std::string& path) {
    if (path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(toPath(path), ignored);
}

}  // namespace quivra
