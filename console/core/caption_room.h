// Buttons whose captions would otherwise touch their frame under the desktop's style.
#pragma once

#include <QAbstractButton>

namespace kestview {

// Widens the button by two average characters beyond what its caption needs.
inline void giveCaptionRoom(QAbstractButton* button) {
    button->setMinimumWidth(button->sizeHint().width() + 2 * button->fontMetrics().averageCharWidth());
}

}  // namespace kestview
