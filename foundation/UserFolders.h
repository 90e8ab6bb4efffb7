#pragma once

#include <filesystem>
#include <vector>

// The user's base folders by the XDG base directory rules: a variable that is unset, empty or
// holds a relative path is ignored in favour of the default. Safe to call from any thread.
namespace ravelong::user_folders {

// $HOME, else the home folder of the user in the password database, else ".".
std::filesystem::path home();
// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path dataHome();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path configHome();
// The absolute entries of $XDG_CONFIG_DIRS (colon-separated), else /etc/xdg.
std::vector<std::filesystem::path> configDirs();

}  // namespace ravelong::user_folders
