#include "automation_error.h"

namespace kestview {

AutomationError::AutomationError(HRESULT number, QString source, QString description)
    : number_(number), source_(std::move(source)), description_(std::move(description)),
      what_(text().toStdString()) {}

QString AutomationError::text() const {
    return source_ + " " + description_ + " HRESULT: " + QString::number(quint32(number_), 16).toUpper();
}

void raiseConsoleError(HRESULT number, const QString& description) {
    throw AutomationError(number, QString::fromUtf16(kConsoleSource), description);
}

}  // namespace kestview
