// What every settings control shares: its name from its row of the settings table, and
// keeping a change so that the engine and the download list follow it at once.
#pragma once

#include <QString>

#include <initializer_list>
#include <string>

#include "base/settings_table.h"

namespace quivra {

struct DownloadCore;

// prefix + the row's key, as "选择框_writeTags".
std::string settingControlName(const char* prefix, SettingKey key);
QString settingObjectName(const char* prefix, SettingKey key);

// Keeps the values (shared record and config.ini) and hands the effects to the core's
// engine and download list.
void keepAndFollow(DownloadCore& core, std::initializer_list<SettingChange> changes);

}  // namespace quivra
