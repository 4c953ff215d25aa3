// The progress on a terminal: above, a line for each video and each part that ended; below
// them one live line per running part (NN and name, a bar, bytes, speed, time left),
// redrawn in place a few times a second and cut to the terminal's width.
#pragma once

#include <memory>

#include "app/cli/downloads/progress_output.h"

namespace quivra {

std::unique_ptr<ProgressOutput> makeLiveProgress(Terminal& terminal);

}  // namespace quivra
