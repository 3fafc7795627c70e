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

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// `caption` as one line: every line break becomes a blank, runs of blanks
// become one ("Dateien \nerstellen" reads "Dateien erstellen").
QString OneLineCaption(const QString& caption);

}  // namespace pellandrix::ui
