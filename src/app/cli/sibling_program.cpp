#include "app/cli/sibling_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/cli/exit_status.h"
#include "base/shared_state.h"

namespace quivra {

int runSiblingProgram(const char* name, char* argv[]) {
    const std::string path = executableDirectory() + "/" + name;
    ::execv(path.c_str(), argv);
    std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(errno));
    return kExitFailed;
}

}  // namespace quivra
