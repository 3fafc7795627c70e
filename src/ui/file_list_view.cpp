#include "ui/file_list_view.h"

#include <QHeaderView>

#include <string>

namespace pellandrix::ui {

namespace {

QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CFileListView::CFileListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(kColumnCount);
    setHeaderLabels({QStringLiteral("Dateiname"), QStringLiteral("Status"), QStringLiteral("Erst."),
                     QStringLiteral("Endung")});
    // A flat report: no expander column, rows in list order, headings that
    // only label their column.
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::StyledPanel);
}

void CFileListView::SetInitialColumnWidths(const std::array<int, kColumnCount>& widths) {
    initialWidths_ = widths;
    ScaleColumns(1.0);
}

void CFileListView::ScaleColumns(double factor) {
    for (int column = 0; column < kColumnCount; ++column) {
        setColumnWidth(column, static_cast<int>(initialWidths_[column] * factor));
    }
}

void CFileListView::SetRowName(int row, std::string_view name) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        item = new QTreeWidgetItem();  // owned by the view once inserted
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        insertTopLevelItem(row, item);
    }
    item->setText(0, ToQt(name));
}

void CFileListView::SetCellText(int row, int column, std::string_view text) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setText(column, ToQt(text));
    }
}

void CFileListView::SetRowChecked(int row, bool checked) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

bool CFileListView::RowChecked(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr && item->checkState(0) == Qt::Checked;
}

std::string CFileListView::CellText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item == nullptr ? std::string() : item->text(column).toStdString();
}

void CFileListView::TruncateRows(int count) {
    while (topLevelItemCount() > count) {
        delete takeTopLevelItem(topLevelItemCount() - 1);
    }
}

int CFileListView::SelectionMark() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CFileListView::SetSelectionMark(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    // Column 0 carries the check box, so Space on the mark toggles it.
    setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(item);
}

}  // namespace pellandrix::ui
