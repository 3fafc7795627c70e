#include "ui/dialog_resizer.h"

namespace pellandrix::ui {

void CDialogResizer::Record() {
    if (dialog_ == nullptr) {
        return;
    }
    const QRect client = dialog_->rect();
    initialWidth_ = client.width();
    initialHeight_ = client.height();
    scaleX_ = 1.0;
    scaleY_ = 1.0;
    entries_.clear();
    recorded_ = false;
    // Entry 0: the client rectangle in screen coordinates.
    const QPoint origin = dialog_->mapToGlobal(QPoint(0, 0));
    entries_.push_back({origin.x(), origin.y(), origin.x() + initialWidth_,
                        origin.y() + initialHeight_, QPointer<QWidget>(dialog_), 1});
    // Entries 1..n: every direct child window, relative to the client area,
    // in creation order.
    for (QObject* object : dialog_->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child == nullptr || child->isWindow()) {
            continue;
        }
        const QRect r = child->geometry();
        entries_.push_back({r.left(), r.top(), r.left() + r.width(), r.top() + r.height(),
                            QPointer<QWidget>(child), 1});
    }
    recorded_ = true;
}

void CDialogResizer::Resize(int width, int height) {
    if (!recorded_ || dialog_ == nullptr) {
        return;
    }
    // A minimised window reports zero: nothing sensible to scale to; the
    // next real size computes the scale afresh.
    if (width <= 0 || height <= 0) {
        return;
    }
    scaleX_ = static_cast<double>(initialWidth_) / width;
    scaleY_ = static_cast<double>(initialHeight_) / height;
    for (std::size_t i = 1; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.window.isNull()) {
            continue;
        }
        const int newLeft = static_cast<int>(e.left / scaleX_);
        const int newTop = static_cast<int>(e.top / scaleY_);
        const int newRight = static_cast<int>(e.right / scaleX_);
        int newHeight = e.bottom - e.top;
        if (newHeight > kFixedHeight) {
            newHeight = static_cast<int>(e.bottom / scaleY_) - newTop;
        }
        e.window->setGeometry(newLeft, newTop, newRight - newLeft, newHeight);
        e.window->update();
    }
    dialog_->update();
}

}  // namespace pellandrix::ui
