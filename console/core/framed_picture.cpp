#include "framed_picture.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace kestview {

bool saveFramedPicture(QWidget& window, const QString& file) {
    const QPixmap image = window.grab();
    const int bar = 26;
    QPixmap framed(image.width(), image.height() + bar);
    framed.fill(Qt::white);
    QPainter painter(&framed);
    painter.fillRect(0, 0, image.width(), bar, QColor(0x2b, 0x57, 0x9a));
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 0, image.width() - 16, bar), Qt::AlignVCenter, window.windowTitle());
    painter.drawPixmap(0, bar, image);
    painter.end();
    return framed.save(file);
}

}  // namespace kestview
