// The program's icon: the desktop theme's when it has one (the package installs it there),
// else the pictures built into the program, so a copy started from its own folder shows
// its windows and its tray icon all the same.
#pragma once

#include <QIcon>

namespace quivra {

QIcon programIcon();

}  // namespace quivra
