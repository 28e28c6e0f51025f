#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace zk4 {

void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon) {
    // The title is the executable's name without its extension, as for every message here.
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning,
                    QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace zk4
