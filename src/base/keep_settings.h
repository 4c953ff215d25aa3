// Changing the download settings: kept (the shared record and config.ini at once), or
// overridden for this run only.
#pragma once

#include <initializer_list>
#include <span>

#include "base/settings_table.h"

namespace quivra {

// Puts the values into the shared download settings and writes their keys in one
// replacement of config.ini (which stays 0600: it holds the proxy password as it holds the
// cookie). The effects are the caller's to hand to followSettingChange.
SettingEffects keepSettings(std::span<const SettingChange> changes);
inline SettingEffects keepSettings(std::initializer_list<SettingChange> changes) {
    return keepSettings(std::span(changes.begin(), changes.size()));
}

// Puts the values into the shared download settings for this run; config.ini is untouched.
void overrideSettings(std::span<const SettingChange> changes);

}  // namespace quivra
