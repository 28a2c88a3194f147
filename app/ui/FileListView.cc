#include "FileListView.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "DriverView.h"

namespace recast::ui {
namespace {

constexpr std::array<int, 5> kShares{6, 10, 10, 14, 14};
constexpr int kShareBase = 64;
constexpr int kBorder = 2;
const QColor kBarColour(0, 95, 140);
const QColor kBarTrough(222, 232, 240);
const QColor kSelectionTint(61, 127, 176, 60);
const QColor kSelectionEdge(61, 127, 176);
constexpr char kListStyle[] =
    "QTableView { background: #FFFFFF; gridline-color: #C8D8E4; selection-background-color: "
    "#3D7FB0; }"
    "QHeaderView::section { background: #DDE9F2; color: #005F8C; border: 0px; border-right: 1px "
    "solid #B5CBDB; border-bottom: 1px solid #B5CBDB; padding: 2px; }"
    "QScrollBar:vertical { background: #EEF4F8; width: 14px; }"
    "QScrollBar:horizontal { background: #EEF4F8; height: 14px; }"
    "QScrollBar::handle { background: #9DBBD1; border-radius: 3px; min-height: 16px; min-width: "
    "16px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; }";

}  // namespace

std::array<int, 6> ColumnWidths(int listWidth, int scrollBarWidth) {
  const int usable = std::max(0, listWidth - kBorder - scrollBarWidth);
  std::array<int, 6> widths{};
  int used = 0;
  for (size_t i = 0; i < kShares.size(); ++i) {
    widths[i] = kShares[i] * usable / kShareBase;
    used += widths[i];
  }
  widths[5] = std::max(0, usable - used - kBorder);
  return widths;
}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  const bool tint = (option.state & QStyle::State_Selected) && index.data(Qt::BackgroundRole).isValid();
  QStyleOptionViewItem plain = option;
  if (tint) plain.state &= ~QStyle::State_Selected;
  const QVariant value = index.column() == kColumnProgress ? index.data(Qt::UserRole + 1) : QVariant();
  if (value.isValid())
    PaintProgress(painter, plain, index, value.toInt());
  else
    QStyledItemDelegate::paint(painter, plain, index);
  if (tint) {
    painter->fillRect(option.rect, kSelectionTint);
    painter->setPen(kSelectionEdge);
    painter->drawLine(option.rect.topLeft(), option.rect.topRight());
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
  }
}

void CellDelegate::PaintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index, int value) const {
  const int percent = std::clamp(value, 0, 100);
  const QVariant background = index.data(Qt::BackgroundRole);
  painter->save();
  painter->fillRect(option.rect, background.isValid() ? background.value<QColor>() : Qt::white);
  const QRect trough = option.rect.adjusted(3, 3, -3, -3);
  painter->fillRect(trough, kBarTrough);
  QRect bar = trough;
  bar.setWidth(trough.width() * percent / 100);
  painter->fillRect(bar, kBarColour);
  painter->setPen(percent >= 50 ? Qt::white : Qt::black);
  painter->drawText(trough, Qt::AlignCenter, QString::asprintf("%d%%", percent));
  painter->restore();
}

FileListView::FileListView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAlternatingRowColors(false);
  setShowGrid(true);
  setWordWrap(false);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setItemDelegate(new CellDelegate(this));
  setStyleSheet(kListStyle);
  setIconSize(QSize(14, 14));
}

void FileListView::FitColumns() {
  const std::array<int, 6> widths = ColumnWidths(width(), verticalScrollBar()->sizeHint().width());
  for (int column = 0; column < kColumnCount; ++column)
    setColumnWidth(column, widths[static_cast<size_t>(column)]);
}

void FileListView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  FitColumns();
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FileListView::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  emit PathsDropped(paths);
}

// The window decides what a click does (nothing while converting or previewing), so the view
// reports it instead of selecting on its own.
void FileListView::mousePressEvent(QMouseEvent* event) {
  const int row = indexAt(event->position().toPoint()).row();
  if (event->button() == Qt::RightButton)
    emit RowRightClicked(row, event->globalPosition().toPoint());
  else if (event->button() == Qt::LeftButton && row >= 0)
    emit RowClicked(row);
}

}  // namespace recast::ui
