// Addresses that come from outside the windows: a second start's command line and the
// clipboard. Nothing is parsed or downloaded until the user presses a button.
#pragma once

#include <QStringList>

namespace quivra {

// The first address fills the main window's address box (the main window opens when none
// is open); nothing happens for an empty list.
void receiveAddresses(const QStringList& addresses);

// A second start: the main window comes to the front and takes its addresses.
void receiveSecondStart(const QStringList& addresses);

}  // namespace quivra
