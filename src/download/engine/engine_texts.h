// The download engine's state and error tables, and how aria2's results map onto them.
#pragma once

#include <string>

namespace quivra {

// Task state codes of the engine's state table.
enum EngineState : int {
    kStateNoItem = 0,
    kStateError = 1,
    kStatePause = 2,
    kStateDownload = 3,
    kStateComplete = 4,
    kStateStartPending = 5,
    kStateStopPending = 6,
};

// Error codes of the engine's error table.
enum EngineError : int {
    kErrorUnknown = 0,
    kErrorCreateFile = 1,
    kErrorWriteFile = 2,
    kErrorReadFile = 3,
    kErrorRename = 4,
    kErrorPieceCheck = 5,
    kErrorFileCheck = 6,
    kErrorDeleteFile = 7,
    kErrorBadAddress = 16,
    kErrorProxyType = 32,
    kErrorProxyLogin = 33,
    kErrorNoAddress = 48,
    kErrorTimeout = 64,
    kErrorCancelled = 65,
    kErrorHelperCrashed = 66,
    kErrorBadTask = 67,
};

// The state name and error text of a code, as local text; "" for a code not in the table.
std::string engineStateName(int code);
std::string engineErrorText(int code);

// The nearest error-table code for one of aria2's error codes (its exit-status values).
// serverAnswered: the server had told the file's length before the task failed.
EngineError errorCodeFromAria2(int aria2Code, bool serverAnswered);

}  // namespace quivra
