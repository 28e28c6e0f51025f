#include "ui/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace zk4 {

// Drawn rather than shipped as a file, so the icon needs no resource system. Only colours of
// the classic 16-colour palette are used.
QPixmap AppIconPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const qreal u = size / 16.0;
    // The device body: a dark blue box with a lighter face.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(1 * u, 3 * u, 14 * u, 10 * u));
    p.setBrush(QColor(0, 128, 128));
    p.drawRect(QRectF(2 * u, 4 * u, 12 * u, 5 * u));
    // Three status lamps.
    p.setBrush(QColor(0, 255, 0));
    p.drawRect(QRectF(3 * u, 10.5 * u, 2 * u, 1.5 * u));
    p.setBrush(QColor(255, 255, 0));
    p.drawRect(QRectF(7 * u, 10.5 * u, 2 * u, 1.5 * u));
    p.setBrush(QColor(255, 0, 0));
    p.drawRect(QRectF(11 * u, 10.5 * u, 2 * u, 1.5 * u));
    // "ZK4" on the face.
    if (size >= 32) {
        QFont f(QStringLiteral("Sans"));
        f.setPixelSize(static_cast<int>(4.5 * u));
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(255, 255, 255));
        p.drawText(QRectF(2 * u, 4 * u, 12 * u, 5 * u), Qt::AlignCenter, QStringLiteral("ZK4"));
    } else {
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(4 * u, 6 * u, 8 * u, 1 * u));
    }
    // The cable leaving the top.
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(QRectF(7 * u, 0, 2 * u, 3 * u));
    return pm;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(AppIconPixmap(32));
    icon.addPixmap(AppIconPixmap(16));
    return icon;
}

}  // namespace zk4
