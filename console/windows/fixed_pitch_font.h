// The font of the windows' value lists, whose columns line up.
#pragma once

#include <QFont>

namespace kestview {

// A fixed-pitch font, resolved by the font system only when the list is drawn.
inline QFont fixedPitchFont() {
    QFont f(QStringLiteral("Monospace"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

}  // namespace kestview
