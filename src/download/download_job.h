// One row of the list turned into one MP4: stream addresses, both streams through the
// engine into <directory>/temp, the merge into <directory>/<video title>/NN_<page>.mp4,
// with each stage written to the row's "状态" cell.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "download/download_view.h"

namespace quivra {

// How long a job waits between looks at a task, and how long a task may go without a
// byte arriving before the job gives it up (keeping the partial file for a later resume).
struct JobTimings {
    std::chrono::milliseconds pollInterval{300};
    std::chrono::milliseconds stallLimit{std::chrono::seconds(90)};
};
void setJobTimings(JobTimings timings);
JobTimings jobTimings();

// NN: row index + 1 in decimal, at least two digits.
std::string rowNumberText(int row);
// The page title cleaned for a file name, blanks as "_".
std::string pageName(const std::string& pageTitle);
// <directory>/<video title>/NN_<page name>.mp4 (local text), the page name cut so that the
// file name fits the file system.
std::string outputFilePath(const std::string& directory, const std::string& videoTitle, int row,
                           const std::string& pageTitle);

// Runs the whole job for one row against a view; returns when the row is done or has
// failed (the row's text says which).
void runDownloadJob(DownloadView& view, int row);

// The thread pool's entry: runs the job for row value1 on currentDownloadView() and
// clears the row's busy mark however the job ends.
void downloadJob(std::intptr_t row, std::intptr_t unused = 0);

// Rows whose job is queued or running: a row is submitted only while it is not marked.
bool markRowBusy(int row);  // false when it already was
void clearRowBusy(int row);
bool isRowBusy(int row);

}  // namespace quivra
