#pragma once

#include <QPushButton>

namespace pellandrix::ui {

// A push button of the main window whose caption wraps at blanks when it
// is wider than the button, like a multi-line button of the dialog layout.
// The caption itself (text()) stays exactly as given, line breaks included;
// the accessible name is the caption read as one line.
class CWrapButton : public QPushButton {
    Q_OBJECT

  public:
    CWrapButton(const QString& caption, QWidget* parent);

    // The size the caption needs, wrapped as at the button's present width:
    // its widest line and all its lines, with the style's margins around
    // them. Wider than width() when a word does not fit, higher than
    // height() when the lines do not.
    QSize CaptionSize() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// `caption` as one line: every line break becomes a blank, runs of blanks
// become one ("Dateien \nerstellen" reads "Dateien erstellen").
QString OneLineCaption(const QString& caption);

}  // namespace pellandrix::ui
