// The user's configuration folder for the tool, where an installed copy keeps ZK4.ini and looks
// for its ports/ links. One file per platform: UserConfigPosix.cpp ($XDG_CONFIG_HOME/ZK4, else
// ~/.config/ZK4) and UserConfigWin.cpp (%APPDATA%\ZK4). The window, its --help and zk4ctl all
// ask here.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zk4 {

// An environment variable's value, or nothing when it is not set. Paths are UTF-8 on Windows
// and the file system's own bytes elsewhere.
using Environment = std::function<std::optional<std::string>(const char* name)>;

// The process's own environment (on POSIX systems a user without HOME gets the home folder of
// the password database).
const Environment& SystemEnvironment();

// The folder, or "" when the environment names none.
std::string UserConfigFolder(const Environment& environment = SystemEnvironment());

}  // namespace zk4
