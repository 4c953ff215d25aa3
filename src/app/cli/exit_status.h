// Exit statuses of the command line, for scripts.
#pragma once

namespace quivra {

enum ExitStatus : int {
    kExitDone = 0,           // everything asked for was done
    kExitFailed = 1,         // something failed; the reason is on standard error
    kExitUsage = 2,          // the command line itself was wrong
    kExitUnresolved = 3,     // the address named no video the site knows
    kExitInterrupted = 130,  // Ctrl-C or SIGTERM stopped the downloads; they stay resumable
};

}  // namespace quivra
