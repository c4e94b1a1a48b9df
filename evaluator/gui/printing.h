// Printing a window as it looks on screen.
#pragma once

#include <QPagedPaintDevice>
#include <functional>
#include <memory>

class QWidget;

// Makes the device a print goes to: the default printer, or for tests a PDF writer.
using PrinterFactory = std::function<std::unique_ptr<QPagedPaintDevice>()>;
void setPrinterFactory(PrinterFactory factory);  // an empty factory restores the default printer

// Prints the widget scaled to the page; a failure is reported in a message box.
void printWidget(QWidget* widget);
