#include "ui/help_mode.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QWidget>

#include "ui/help_system.h"

namespace pellandrix::ui {

int ControlIdOf(const QWidget* w) {
    if (w == nullptr) {
        return 0;
    }
    const QVariant v = w->property("controlId");
    return v.isValid() ? v.toInt() : 0;
}

CHelpMode::CHelpMode(QWidget& dialog, ShowHelp show)
    : QObject(&dialog), dialog_(dialog), show_(std::move(show)) {}

CHelpMode::~CHelpMode() {
    if (on_) {
        HideHelpPopup();
    }
}

void CHelpMode::Toggle() {
    if (on_) {
        Leave();
    } else {
        Start();
    }
}

void CHelpMode::Start() {
    on_ = true;
    lastControl_ = 0;
    Watch(&dialog_);
    for (QWidget* w : dialog_.findChildren<QWidget*>()) {
        if (w->window() == &dialog_) {
            Watch(w);
        }
    }
}

void CHelpMode::Watch(QWidget* w) {
    saved_.push_back({QPointer<QWidget>(w), w->testAttribute(Qt::WA_SetCursor), w->cursor(),
                      w->hasMouseTracking()});
    w->setCursor(Qt::WhatsThisCursor);
    // Mouse tracking makes moves without a button reach the filter, so the
    // help appears when the pointer arrives at a control.
    w->setMouseTracking(true);
    w->installEventFilter(this);
}

void CHelpMode::Leave() {
    if (!on_) {
        return;
    }
    Restore();
    HideHelpPopup();
    on_ = false;
    lastControl_ = 0;
}

void CHelpMode::Restore() {
    for (SavedPointer& saved : saved_) {
        if (saved.widget.isNull()) {
            continue;
        }
        saved.widget->removeEventFilter(this);
        if (saved.hadCursor) {
            saved.widget->setCursor(saved.cursor);
        } else {
            saved.widget->unsetCursor();
        }
        saved.widget->setMouseTracking(saved.hadTracking);
    }
    saved_.clear();
}

void CHelpMode::PointerAt(const QPoint& global) {
    // Found from the pointer's position, not from the receiver: a button or
    // check box ignores mouse moves, and Qt then hands the same move on to
    // the dialog, which must not count as the pointer leaving the control.
    QWidget* control = dialog_.childAt(dialog_.mapFromGlobal(global));
    while (control != nullptr && control != &dialog_ && ControlIdOf(control) == 0) {
        control = control->parentWidget();
    }
    const int id = (control == nullptr || control == &dialog_) ? 0 : ControlIdOf(control);
    if (id == lastControl_) {
        return;
    }
    lastControl_ = id;
    if (id == 0) {
        HideHelpPopup();
    } else {
        show_(id, control);
    }
}

bool CHelpMode::eventFilter(QObject* watched, QEvent* event) {
    if (!on_ || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &dialog_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::ChildAdded:
            // A widget added while help mode lasts is a control like the rest.
            if (QObject* child = static_cast<QChildEvent*>(event)->child();
                child->isWidgetType() && !static_cast<QWidget*>(child)->isWindow()) {
                Watch(static_cast<QWidget*>(child));
            }
            break;
        case QEvent::Enter:
        case QEvent::MouseMove:
            PointerAt(static_cast<QSinglePointEvent*>(event)->globalPosition().toPoint());
            break;
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
            HideHelpPopup();
            break;
        default:
            break;
    }
    return false;
}

}  // namespace pellandrix::ui
