// A small real disk for a test that needs a full one: a tmpfs mounted on a folder of the
// test's own (tests run as root) and unmounted again when the object goes.
#pragma once

#include <sys/mount.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace quivra::test {

class SmallDisk {
  public:
    SmallDisk(const std::filesystem::path& mountPoint, std::int64_t bytes) : path_(mountPoint) {
        std::filesystem::create_directories(path_);
        mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, sizeOption(bytes).c_str()) == 0;
    }
    ~SmallDisk() {
        // Lazily, so that a file a failed test left open cannot keep the disk mounted.
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::filesystem::path& path() const { return path_; }

    // A bigger (or smaller) disk with the files kept.
    bool resize(std::int64_t bytes) {
        return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT, sizeOption(bytes).c_str()) == 0;
    }

    std::int64_t freeBytes() const {
        struct statvfs info {};
        if (::statvfs(path_.c_str(), &info) != 0) return -1;
        return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
    }

    // Writes <disk>/filler so that at most `left` bytes stay free.
    void fillLeaving(std::int64_t left) const {
        const std::int64_t bytes = freeBytes() - left;
        if (bytes <= 0) return;
        std::ofstream filler(path_ / "filler", std::ios::binary | std::ios::trunc);
        const std::string block(1 << 16, '\0');
        const auto blockBytes = static_cast<std::int64_t>(block.size());
        for (std::int64_t written = 0; written < bytes; written += blockBytes) {
            filler.write(block.data(), std::min(blockBytes, bytes - written));
        }
    }

  private:
    static std::string sizeOption(std::int64_t bytes) { return "size=" + std::to_string(bytes); }

    std::filesystem::path path_;
    bool mounted_ = false;
};

}  // namespace quivra::test
