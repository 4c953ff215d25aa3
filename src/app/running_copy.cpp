#include "app/running_copy.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace quivra {

namespace {

using namespace std::chrono_literals;

// A copy that holds the lock may still be starting: it listens once its window is up.
constexpr auto kListenWait = 10s;
constexpr int kAnswerWaitMs = 10000;
constexpr qint64 kLongestHandOver = 1024 * 1024;

// The user's runtime folder (only the user may enter it), else /tmp; one socket per
// config.ini folder, so two portable copies in different folders each run.
std::string socketPath(const std::string& dataFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && runtime[0] == '/' ? runtime : "/tmp";
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(dataFolder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return folder + "/quivra-downloader-" + std::to_string(::getuid()) + "-" + hash.toStdString() +
           ".socket";
}

// The lock lives as long as the process: its descriptor is never closed.
bool takeLock(const std::string& dataFolder) {
    const std::string path = dataFolder + "/window.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;  // no lock to be had: run alone rather than not at all
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    ::close(fd);
    return false;
}

int connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Each address on a line, then an empty line; the running copy answers "ok".
bool handOver(int fd, const QStringList& addresses) {
    std::string message;
    for (const QString& address : addresses) message += address.toStdString() + "\n";
    message += "\n";
    if (!writeAll(fd, message)) return false;
    std::string answer;
    pollfd wait{fd, POLLIN, 0};
    while (answer.find('\n') == std::string::npos && ::poll(&wait, 1, kAnswerWaitMs) > 0) {
        char buffer[16];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        answer.append(buffer, static_cast<size_t>(got));
    }
    return answer == "ok\n";
}

// Complete when the empty line that ends the list has come.
bool wholeHandOver(const QByteArray& bytes) {
    return bytes == "\n" || bytes.endsWith("\n\n");
}

}  // namespace

QStringList addressArguments(int argc, char* argv[]) {
    QStringList addresses;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]).trimmed();
        if (!argument.isEmpty() && !argument.startsWith(u'-')) addresses << argument;
    }
    return addresses;
}

StartRole claimRunningCopy(const std::string& dataFolder, const QStringList& addresses) {
    if (takeLock(dataFolder)) return StartRole::First;
    const std::string path = socketPath(dataFolder);
    const auto deadline = std::chrono::steady_clock::now() + kListenWait;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = connectTo(path);
        if (fd >= 0) {
            const bool taken = handOver(fd, addresses);
            ::close(fd);
            return taken ? StartRole::HandedOver : StartRole::Unreachable;
        }
        std::this_thread::sleep_for(20ms);
    }
    return StartRole::Unreachable;
}

bool RunningCopyServer::listen(const std::string& dataFolder) {
    const QString path = QString::fromStdString(socketPath(dataFolder));
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock: a socket left there is a crashed copy's.
    QLocalServer::removeServer(path);
    connect(server_, &QLocalServer::newConnection, this, &RunningCopyServer::readStart);
    return server_->listen(path);
}

void RunningCopyServer::readStart() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
            QByteArray& bytes = *received;
            bytes += socket->readAll();
            if (bytes.size() > kLongestHandOver) {
                socket->abort();
                return;
            }
            if (!wholeHandOver(bytes)) return;
            QStringList addresses;
            for (const QByteArray& line : bytes.split('\n')) {
                if (!line.trimmed().isEmpty()) addresses << QString::fromUtf8(line).trimmed();
            }
            bytes.clear();
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            emit addressesArrived(addresses);
        });
    }
}

}  // namespace quivra
