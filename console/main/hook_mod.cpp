#include "hook_mod.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QTimer>

namespace kestview {

void HookMod::Hook(QComboBox* combo, QTimer* timer) {
    if (hooked_ || !combo || !timer) return;
    combo_ = combo;
    timer_ = timer;
    popup_ = combo->view()->window();
    combo->installEventFilter(this);
    if (popup_) popup_->installEventFilter(this);
    hooked_ = true;
}

void HookMod::Unhook() {
    if (!hooked_) return;
    if (combo_) combo_->removeEventFilter(this);
    if (popup_) popup_->removeEventFilter(this);
    hooked_ = false;
}

bool HookMod::eventFilter(QObject* watched, QEvent* event) {
    if (timer_) {
        const QEvent::Type t = event->type();
        if (watched == combo_ && (t == QEvent::MouseButtonPress || t == QEvent::KeyPress)) {
            if (timer_->isActive()) {
                timer_->stop();
                paused_ = true;
            }
        } else if (paused_ && ((watched == popup_ && t == QEvent::Hide) || (watched == combo_ && t == QEvent::Move))) {
            paused_ = false;
            timer_->start();
        }
    }
    return QObject::eventFilter(watched, event);  // the combo handles every event as before
}

}  // namespace kestview
