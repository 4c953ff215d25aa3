// An exclusive lock on a file that every process and every thread of this program takes
// before a read-modify-write of the file it guards.
#pragma once

#include <string>

namespace quivra {

class FileLock {
  public:
    // Opens (creating it, mode 0600) the lock file at path and waits until it holds the
    // lock. Each holder opens the file anew, so threads of one process exclude each other
    // as processes do.
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // False when the lock file could not be opened or locked.
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace quivra
