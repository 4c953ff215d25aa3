#include "download/job/part_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "net/text_encoding.h"

namespace quivra {

namespace {

bool sameFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

PartLock::Result PartLock::tryTake(const std::string& path) {
    release();
    const std::string file = localToUtf8(path);
    for (;;) {
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return Unavailable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? Busy : Unavailable;
        }
        // The holder before us removes the file as it lets go: a lock on a file that is no
        // longer under the name guards nothing, so take the name's file anew.
        if (sameFile(fd, file)) {
            fd_ = fd;
            path_ = file;
            return Taken;
        }
        ::close(fd);
    }
}

void PartLock::release() {
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

std::string partLockPath(const DownloadRequest& request) {
    return request.directory + "/temp/" + request.cid + ".lock";
}

bool isPartLocked(const DownloadRequest& request) {
    const int fd = ::open(localToUtf8(partLockPath(request)).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace quivra
