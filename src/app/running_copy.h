// One windows' program per user and config.ini. The first start holds a lock beside
// config.ini and listens on a local socket; a later start finds the lock taken, hands its
// addresses over the socket and ends, and the running program shows its window.
#pragma once

#include <QObject>
#include <QStringList>

#include <string>

class QLocalServer;

namespace quivra {

// The addresses of a start's command line: every argument but options (an address never
// starts with '-').
QStringList addressArguments(int argc, char* argv[]);

enum class StartRole {
    First,       // no other copy runs: this one opens the main window
    HandedOver,  // a running copy took the addresses: this one ends with status 0
    Unreachable  // the lock is taken but no copy answered: this one ends with status 1
};

// dataFolder: the folder of config.ini (UTF-8). Before the QApplication: a second copy
// loads no more than it needs to hand over. The first keeps the lock until it ends.
StartRole claimRunningCopy(const std::string& dataFolder, const QStringList& addresses);

// The running copy's end of the socket: each start that hands over brings its addresses.
class RunningCopyServer : public QObject {
    Q_OBJECT

  public:
    // False when the socket could not be made; the program then runs alone all the same.
    bool listen(const std::string& dataFolder);

  signals:
    void addressesArrived(const QStringList& addresses);

  private:
    void readStart();

    QLocalServer* server_ = nullptr;
};

}  // namespace quivra
