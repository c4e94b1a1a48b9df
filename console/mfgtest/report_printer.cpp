#include "report_printer.h"

#include <QChart>
#include <QFontMetrics>
#include <QGraphicsScene>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <memory>

namespace kestview::mfgtest {

bool printReport(QPrinter& printer, const QStringList& lines, QChart* chart, QString& error) {
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&printer)) {
        error = QStringLiteral("The printer %1 could not be started").arg(printer.printerName());
        return false;
    }
    QFont font("MS Sans Serif");
    font.setPointSize(10);
    painter.setFont(font);
    const QFontMetrics metrics(font, &printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int height = page.height(), step = metrics.lineSpacing();
    int y = 0;
    for (const QString& line : lines) {
        if (y + step > height) {
            printer.newPage();
            y = 0;
        }
        painter.drawText(0, y + metrics.ascent(), line);
        y += step;
    }
    if (chart) {
        printer.newPage();
        const QSizeF size = chart->size().isEmpty() ? QSizeF(1000, 600) : chart->size();
        if (chart->size().isEmpty()) chart->resize(size);
        QGraphicsScene* scene = chart->scene();
        std::unique_ptr<QGraphicsScene> own;
        if (!scene) {
            own = std::make_unique<QGraphicsScene>();
            own->addItem(chart);
            scene = own.get();
        }
        scene->render(&painter, QRectF(0, 0, page.width(), page.height()), chart->sceneBoundingRect(),
                      Qt::KeepAspectRatio);
        if (own) own->removeItem(chart);
    }
    painter.end();
    return true;
}

bool printReportPdf(const QString& path, const QStringList& lines, QChart* chart, QString& error) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return printReport(printer, lines, chart, error);
}

}  // namespace kestview::mfgtest
