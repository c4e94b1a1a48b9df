#include "channel_option_style.h"

#include <QColor>
#include <QRadioButton>
#include <QVariant>

namespace kestview {

void applyChannelOptionStyle(QRadioButton* o) {
    const QColor background = o->property("optionBackground").value<QColor>();
    const QColor text = o->property("optionText").value<QColor>();
    QString rules;
    if (background.isValid()) rules += QStringLiteral(" background-color: %1;").arg(background.name());
    if (text.isValid()) rules += QStringLiteral(" color: %1;").arg(text.name());
    o->setStyleSheet(rules.isEmpty() ? QString() : QStringLiteral("QRadioButton {%1 }").arg(rules));
}

}  // namespace kestview
