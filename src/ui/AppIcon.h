#pragma once

#include <QIcon>

namespace zk4 {

// Icon 128: a small interface box with a plug, drawn at 32x32 and 16x16 in 16 colours.
QIcon AppIcon();

// The same picture at size x size pixels; the installed theme icons are made from it.
QPixmap AppIconPixmap(int size);

}  // namespace zk4
