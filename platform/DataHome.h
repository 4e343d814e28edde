#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelimo::platform {

// The program's own folder under the XDG data home: $XDG_DATA_HOME/<name>, or
// $HOME/.local/share/<name> when XDG_DATA_HOME is unset, empty or not absolute. A missing
// folder is made with mode 0700 (missing parents too, as the XDG rules ask); an existing one
// is kept as it is. Nothing when no home is known or the folder cannot be made.
std::optional<std::string> makeDataHome(std::string_view name);

// makeDataHome, then that folder becomes the current directory.
std::optional<std::string> enterDataHome(std::string_view name);

// The program's folder under the XDG cache home, for what can be fetched again: the same rules
// as makeDataHome with $XDG_CACHE_HOME, or $HOME/.cache when it is unset, empty or not absolute.
// name may hold several levels ("pelimo/images").
std::optional<std::string> makeCacheHome(std::string_view name);

} // namespace pelimo::platform
