// The string table and version data of the tool.
#pragma once

#include "text/UserText.h"

namespace zk4 {

// String 101: the window-menu item that opens the About box.
inline constexpr const char* kIdsAboutBox = QT_TRANSLATE_NOOP("zk4", "&About ZK4 Toolset...");

}  // namespace zk4
