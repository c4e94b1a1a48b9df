#include "channel_option_style.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QVariant>
#include <cmath>

namespace kestview {

namespace {

// Relative luminance of a colour (0 black .. 1 white).
double luminance(const QColor& c) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// Below 3:1 a caption is hard to read.
bool hardToRead(const QColor& text, const QColor& background) {
    const double a = luminance(text) + 0.05, b = luminance(background) + 0.05;
    return std::max(a, b) / std::min(a, b) < 3.0;
}

}  // namespace

void applyChannelOptionStyle(QRadioButton* o) {
    const QColor background = o->property("optionBackground").value<QColor>();
    const QColor text = o->property("optionText").value<QColor>();
    QString rules;
    if (background.isValid()) rules += QStringLiteral("QRadioButton { background-color: %1; }").arg(background.name());
    if (text.isValid()) rules += QStringLiteral(" QRadioButton:enabled { color: %1; }").arg(text.name());
    o->setStyleSheet(rules);
}

void ChannelOption::paintEvent(QPaintEvent* event) {
    const QColor background = property("optionBackground").value<QColor>();
    const QColor text = property("optionText").value<QColor>();
    if (!isEnabled() || !background.isValid() || !text.isValid() || !hardToRead(text, background)) {
        QRadioButton::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();  // the background and the indicator as the style draws them
    style()->drawControl(QStyle::CE_RadioButton, &option, &p, this);
    option.text = QRadioButton::text();
    const QRect contents = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    const QFontMetrics metrics(font());
    const int baseline = contents.top() + (contents.height() + metrics.ascent() - metrics.descent()) / 2;
    QPainterPath caption;
    caption.addText(contents.left() + 1, baseline, font(), option.text);
    p.setRenderHint(QPainter::Antialiasing);
    p.strokePath(caption, QPen(QColor(0, 0, 0), 2.5));
    p.fillPath(caption, text);
}

}  // namespace kestview
