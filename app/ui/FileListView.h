// FileListView: the conversion list's table: whole-row selection, the progress cell drawn as
// a bar, the column widths as shares of the list's width, the list's colours on the header and
// scroll bars, and files or folders dropped on it handed to the window.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableView>

namespace recast::ui {

// Every cell: a selected row with coloured cells keeps its colours under a light tint, so the
// converting row stays green while it is selected. Column 3: a bar as long as the percentage
// with "%d%%" over it; empty when cleared.
class CellDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  void PaintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                     const QModelIndex& index, int value) const;
};

class FileListView final : public QTableView {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);

  // Sets the six column widths from the list's width.
  void FitColumns();

 signals:
  void PathsDropped(const QStringList& paths);
  void RowClicked(int row);
  void RowRightClicked(int row, const QPoint& globalPos);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// The widths of the six columns for a list `listWidth` pixels wide with a vertical scroll bar
// `scrollBarWidth` wide: 6, 10, 10, 14, 14 sixty-fourths of the usable width, the rest last.
std::array<int, 6> ColumnWidths(int listWidth, int scrollBarWidth);

}  // namespace recast::ui
