#pragma once

#include <QIcon>

namespace zk4 {

// Icon 128: a small interface box with a plug, drawn at 32x32 and 16x16 in 16 colours.
QIcon AppIcon();

}  // namespace zk4
