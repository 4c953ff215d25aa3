#include "download/job/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace quivra {

bool saveWholeFile(const std::string& bytes, const std::string& utf8Target) {
    const std::string part = utf8Target + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const bool synced = written == bytes.size() && ::fsync(fd) == 0;
    std::error_code error;
    if (::close(fd) == 0 && synced) {
        std::filesystem::rename(part, utf8Target, error);
        if (!error) return true;
    }
    std::filesystem::remove(part, error);
    return false;
}

}  // namespace quivra
