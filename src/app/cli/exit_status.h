// Exit statuses of the command line, for scripts.
#pragma once

#include "video/parse_result.h"

namespace quivra {

enum ExitStatus : int {
    kExitDone = 0,           // everything asked for was done
    kExitFailed = 1,         // something failed; the reason is on standard error
    kExitUsage = 2,          // the command line itself was wrong
    kExitUnresolved = 3,     // the address named no video the site knows
    kExitInterrupted = 130,  // Ctrl-C or SIGTERM stopped the downloads; they stay resumable
};

// A parse that listed nothing: unresolved when the address held no identifier or the site
// said it knows no such video; failed when it could not be reached, answered nothing
// usable or listed no part.
inline ExitStatus parseFailureStatus(ParseFailure failure) {
    const bool unresolved =
        failure == ParseFailure::NoIdentifier || failure == ParseFailure::UnknownVideo;
    return unresolved ? kExitUnresolved : kExitFailed;
}

}  // namespace quivra
