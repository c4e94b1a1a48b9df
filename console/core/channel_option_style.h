// The main window's channel options keep their colours as the properties "optionBackground" and
// "optionText" (QColor, invalid for the default look) and are painted through a style sheet made
// from them: the style paints an option's background only when a style sheet asks for it, and a
// palette set beside a style sheet is overridden.
#pragma once

class QRadioButton;

namespace kestview {

void applyChannelOptionStyle(QRadioButton* option);

}  // namespace kestview
