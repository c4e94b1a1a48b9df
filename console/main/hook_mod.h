// HookMod: pauses the status refresh while the operator works the port-type combo, so a poll
// does not change its selection under the operator's hand. The timer stops when the combo is
// activated (mouse press or key) and, if it was running then, starts again when the combo's popup
// closes or the combo next moves.
#pragma once

#include <QObject>
#include <QPointer>

class QComboBox;
class QTimer;

namespace kestview {

class HookMod : public QObject {
public:
    explicit HookMod(QObject* parent = nullptr) : QObject(parent) {}
    // Starts watching the combo; a second Hook while hooked does nothing.
    void Hook(QComboBox* combo, QTimer* timer);
    // Stops watching.
    void Unhook();
    bool hooked() const { return hooked_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QComboBox> combo_;
    QPointer<QObject> popup_;
    QPointer<QTimer> timer_;
    bool hooked_ = false;
    bool paused_ = false;  // the timer was running when the combo was activated
};

}  // namespace kestview
