// Printing the results report: every line in the report's font at size 10, then the chart.
#pragma once

#include <QString>
#include <QStringList>

class QChart;
class QPrinter;

namespace kestview::mfgtest {

// Prints on `printer` (landscape, a new page whenever the next line does not fit); `chart` may be
// null. False with `error` set when the printer cannot be started.
bool printReport(QPrinter& printer, const QStringList& lines, QChart* chart, QString& error);

// Prints to a PDF file at `path`.
bool printReportPdf(const QString& path, const QStringList& lines, QChart* chart, QString& error);

}  // namespace kestview::mfgtest
