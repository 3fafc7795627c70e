#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <string>

namespace pellandrix::ui {

// What a test reads off a control: the text of an edit field, label or
// button, a combo box's current text; empty for anything else.
inline std::string TextOf(const QWidget* w) {
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) {
        return edit->text().toStdString();
    }
    if (auto* combo = qobject_cast<const QComboBox*>(w)) {
        return combo->currentText().toStdString();
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        return button->text().toStdString();
    }
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text().toStdString();
    }
    return {};
}

// 1 for a ticked check box or button, else 0.
inline int CheckOf(const QWidget* w) {
    auto* button = qobject_cast<const QAbstractButton*>(w);
    return button != nullptr && button->isChecked() ? 1 : 0;
}

}  // namespace pellandrix::ui
