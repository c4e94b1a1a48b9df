// Printing a window as it looks on screen.
#pragma once

#include <QPrinter>
#include <functional>
#include <memory>

class QWidget;

// Makes the printer a print goes to; tests set one that writes a PDF file.
using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;
void setPrinterFactory(PrinterFactory factory);  // an empty factory restores the default printer

// Prints the widget scaled to the page; a failure is reported in a message box.
void printWidget(QWidget* widget);
