#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

namespace pellandrix::ui {

// The recorded proportional layout of a dialog. Record() keeps
// the client size and the rectangle of every direct child widget relative
// to the client area; Resize() moves and scales each child by the ratio of
// the new to the recorded client size. Children at most 30 pixels high keep
// their height and only move. A resize before recording does nothing; a
// resize to zero width or height is ignored (the scale is recomputed at the
// next one).
class CDialogResizer {
  public:
    struct Entry {
        // Window rectangle relative to the client area (right/bottom exclusive).
        int left, top, right, bottom;
        QPointer<QWidget> window;
        int flag = 1;
    };

    // Children at most this high (pixels) keep their height.
    static constexpr int kFixedHeight = 30;

    explicit CDialogResizer(QWidget* dialog = nullptr) : dialog_(dialog) {}

    void SetDialog(QWidget* dialog) { dialog_ = dialog; }
    // Records the layout (an earlier recording is discarded).
    void Record();
    // Scales the recorded layout to the client size `width` × `height`.
    void Resize(int width, int height);

    bool Recorded() const { return recorded_; }
    int InitialWidth() const { return initialWidth_; }
    int InitialHeight() const { return initialHeight_; }
    double ScaleX() const { return scaleX_; }
    double ScaleY() const { return scaleY_; }
    // Entry 0: the client rectangle in screen coordinates; 1..n: children.
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    QWidget* dialog_;
    int initialWidth_ = 0;
    int initialHeight_ = 0;
    double scaleX_ = 1.0;
    double scaleY_ = 1.0;
    bool recorded_ = false;
    std::vector<Entry> entries_;
};

}  // namespace pellandrix::ui
