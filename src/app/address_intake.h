// Addresses that come from outside the windows: a second start's command line and the
// clipboard. Nothing is parsed or downloaded until the user presses a button.
#pragma once

#include <QStringList>

#include <memory>

namespace quivra {

struct DownloadCore;

// One address fills the main window's address box (the main window opens when none is
// open); several go to the batch window; nothing happens for an empty list.
void receiveAddresses(const std::shared_ptr<DownloadCore>& core, const QStringList& addresses);

// A second start: the main window comes to the front, and its addresses go to the batch
// window.
void receiveSecondStart(const std::shared_ptr<DownloadCore>& core, const QStringList& addresses);

}  // namespace quivra
