#include "ui/row_marks.h"

#include <QStyle>
#include <QTreeWidgetItem>
#include <QWidget>

namespace pellandrix::ui {

namespace {

// Qt's palette has no error role: a red that stays readable on the theme's
// base, dark on a light base, light on a dark one.
QColor ErrorColour(const QWidget& view) {
    const bool darkBase = view.palette().color(QPalette::Base).lightness() < 128;
    return darkBase ? QColor(0xff, 0x8a, 0x80) : QColor(0xb0, 0x00, 0x20);
}

void SetForeground(QTreeWidgetItem& item, const QBrush& brush) {
    for (int column = 0; column < item.columnCount(); ++column) {
        item.setForeground(column, brush);
    }
}

}  // namespace

void MarkErrorRow(QTreeWidgetItem& item, const QWidget& view, const QString& message) {
    SetForeground(item, ErrorColour(view));
    item.setIcon(0, view.style()->standardIcon(QStyle::SP_MessageBoxCritical));
    for (int column = 0; column < item.columnCount(); ++column) {
        item.setToolTip(column, message);
    }
}

void MarkQuietRow(QTreeWidgetItem& item, const QWidget& view) {
    ClearRowMarks(item);
    SetForeground(item, view.palette().brush(QPalette::Disabled, QPalette::Text));
}

void ClearRowMarks(QTreeWidgetItem& item) {
    SetForeground(item, QBrush());
    item.setIcon(0, QIcon());
    for (int column = 0; column < item.columnCount(); ++column) {
        item.setToolTip(column, QString());
    }
}

}  // namespace pellandrix::ui
