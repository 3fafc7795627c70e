#pragma once

#include <QTreeWidget>

#include <array>
#include <string_view>

namespace pellandrix::ui {

// The main window's file list: a report view of four left-aligned columns
// ("Dateiname", "Status", "Erst.", "Endung") with a check box per row in
// column 0, full-row single selection, and headings that do not sort.
// Rows are addressed by their 0-based position; the list keeps no record
// pointers, so the caller decides what each row shows.
//
// The "selection mark" is the current row (-1 when there is none): the row
// last selected by the user or set with SetSelectionMark.
class CFileListView : public QTreeWidget {
    Q_OBJECT

  public:
    static constexpr int kColumnCount = 4;

    explicit CFileListView(QWidget* parent = nullptr);

    // Sets the column widths in pixels and remembers them as the widths that
    // ScaleColumns multiplies.
    void SetInitialColumnWidths(const std::array<int, kColumnCount>& widths);
    // Every column gets its remembered width times `factor`, cut toward zero.
    void ScaleColumns(double factor);
    int ColumnWidth(int column) const { return columnWidth(column); }

    int RowCount() const { return topLevelItemCount(); }
    // Makes row `row` exist (appending one row when `row` == RowCount())
    // and gives it `name` in column 0.
    void SetRowName(int row, std::string_view name);
    // Sets the text of column `column` (1 to 3) of an existing row.
    void SetCellText(int row, int column, std::string_view text);
    void SetRowChecked(int row, bool checked);
    bool RowChecked(int row) const;
    std::string CellText(int row, int column) const;
    // Deletes rows from the end until `count` remain.
    void TruncateRows(int count);

    int SelectionMark() const;
    // Gives `row` the selected state and makes it the selection mark.
    void SetSelectionMark(int row);

  private:
    std::array<int, kColumnCount> initialWidths_{};
};

}  // namespace pellandrix::ui
