#pragma once

#include <QString>

class QTreeWidgetItem;
class QWidget;

namespace pellandrix::ui {

// How a row of a list tells what kind it is, by more than colour alone:
// an error row carries the style's error icon in its first column and the
// theme's error colour in every column, and its tooltip gives `message`; a
// quiet row (nothing to look at) is drawn in the palette's subdued text
// colour. `view` is the list the row belongs to (its style and palette).
void MarkErrorRow(QTreeWidgetItem& item, const QWidget& view, const QString& message);
void MarkQuietRow(QTreeWidgetItem& item, const QWidget& view);
// Back to a plain row.
void ClearRowMarks(QTreeWidgetItem& item);

}  // namespace pellandrix::ui
