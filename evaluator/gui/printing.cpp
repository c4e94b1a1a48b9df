#include "printing.h"

#include <QPainter>
#include <QPrinter>
#include <QPixmap>
#include <QPrinterInfo>
#include <QWidget>

#include "message_sink.h"

namespace {

PrinterFactory factory;

std::unique_ptr<QPagedPaintDevice> defaultPrinter() {
    if (QPrinterInfo::defaultPrinter().isNull()) return nullptr;
    return std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
}

}  // namespace

void setPrinterFactory(PrinterFactory f) { factory = std::move(f); }

void printWidget(QWidget* widget) {
    std::unique_ptr<QPagedPaintDevice> printer = factory ? factory() : defaultPrinter();
    if (!printer) {
        messages().showMessage(widget, QStringLiteral("Printing failed: no printer is installed."));
        return;
    }
    const QPixmap image = widget->window()->grab();
    QPainter painter;
    if (!painter.begin(printer.get())) {
        messages().showMessage(widget, QStringLiteral("Printing failed: the printer could not be opened."));
        return;
    }
    const QRect page = painter.viewport();
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawPixmap(QRect(page.topLeft(), size), image);
    painter.end();
}
