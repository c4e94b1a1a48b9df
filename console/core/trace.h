// The console's trace: every event handler, procedure and exit reports a line with its level
// (1 events, 2 exits and errors, 3 procedures, 4 range tests). By default the lines are
// discarded; kestview --trace FILE writes them, one per line, with the time and the level.
#pragma once

#include <QFile>
#include <QString>
#include <functional>

namespace kestview {

class Trace {
public:
    using Listener = std::function<void(int level, const QString& text)>;

    // Writes every following line to the file (created or truncated); false and the reason in
    // `error` when it cannot be opened.
    bool openFile(const QString& path, QString* error);
    // Also hands every line to `listener` (tests); an empty function removes it.
    void setListener(Listener listener) { listener_ = std::move(listener); }
    bool active() const { return file_.isOpen() || listener_; }

    void write(int level, const QString& text);

private:
    QFile file_;
    Listener listener_;
};

}  // namespace kestview
