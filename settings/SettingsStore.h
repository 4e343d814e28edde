#pragma once

#include "settings/EnvSettings.h"

#include <string>

namespace pelimo {

// env.ini in the current working directory, evaluated anew at every load and save; empty
// when the working directory cannot be read.
std::string settingsFilePath();

// Reads all keys of env.ini (defaults where the file, section or key is missing). Never fails.
void loadSettings(EnvSettings& settings);
// Writes all keys, in their fixed order, replacing their lines and keeping every other line.
// false when nothing was written.
bool saveSettings(const EnvSettings& settings);

// The same on an explicit file; saveSettingsTo reports whether the file was written. An empty
// path is no file: it loads the defaults and saves nothing.
void loadSettingsFrom(const std::string& path, EnvSettings& settings);
bool saveSettingsTo(const std::string& path, const EnvSettings& settings);

// The record a missing env.ini gives.
EnvSettings defaultSettings();

} // namespace pelimo
