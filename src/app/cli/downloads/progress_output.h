// What a downloading command shows while it waits for its parts: on a terminal one live
// line per running part, redrawn in place (live_progress.h); otherwise one plain line per
// state change; with --json one JSON object per event; with --quiet nothing but errors.
#pragma once

#include <memory>
#include <string>

#include "app/cli/output.h"
#include "download/list/download_item.h"

namespace quivra {

class ProgressOutput {
  public:
    virtual ~ProgressOutput() = default;
    // A video's parts were handed to the download list. Texts are local text.
    virtual void video(const DownloadRequest& firstPart, int parts) = 0;
    // A part changed, or was found as it is.
    virtual void part(const DownloadItem& item) = 0;
    // A few times a second while the command waits.
    virtual void tick() {}
    // An error line for standard error (UTF-8); shown with --quiet too.
    virtual void error(const std::string& text) = 0;
    // The command stops waiting: the last state is shown.
    virtual void finish() {}
};

std::unique_ptr<ProgressOutput> makeProgressOutput(Terminal& terminal, bool json);

}  // namespace quivra
