// A window's picture under a title bar like the desktop's, for the documentation screenshots
// (the offscreen and bare X servers they are taken on draw no window decorations).
#pragma once

class QString;
class QWidget;

namespace kestview {

bool saveFramedPicture(QWidget& window, const QString& file);

}  // namespace kestview
