// Every message of the system goes through one function: text, icon, the application name as
// title, one OK button, modal to the dialog. Tests put a recorder in its place.
#pragma once

#include <QString>
#include <functional>

#include "supervision/LinkView.h"

class QWidget;

namespace zk4 {

using MessageBoxFn = std::function<void(QWidget* parent, const QString& text, MessageIcon icon)>;

// The real one: a modal QMessageBox. Its nested event loop keeps delivering timer ticks and
// serial notifications to the dialog behind it.
void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon);

}  // namespace zk4
