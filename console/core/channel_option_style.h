// The main window's channel options keep their colours as the properties "optionBackground" and
// "optionText" (QColor, invalid for the default look) and are painted through a style sheet made
// from them: the style paints an option's background only when a style sheet asks for it, and a
// palette set beside a style sheet is overridden. The text colour applies to an enabled option
// only, so a disabled one looks disabled.
#pragma once

#include <QRadioButton>

namespace kestview {

void applyChannelOptionStyle(QRadioButton* option);

// A channel option whose caption stays readable where its text colour and background are both
// light (the reported channel's green on the chosen channel's yellow): such a caption is drawn
// with a dark outline.
class ChannelOption : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kestview
