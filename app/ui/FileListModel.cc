#include "FileListModel.h"

namespace recast::ui {
namespace {

struct ColumnSpec {
  const char* header;
  Qt::Alignment alignment;
};

constexpr std::array<ColumnSpec, kColumnCount> kColumns{{
    {"Status", Qt::AlignCenter},
    {"Source File", Qt::AlignLeft | Qt::AlignVCenter},
    {"Destination", Qt::AlignCenter},
    {"Convert Progress", Qt::AlignCenter},
    {"Source file lenth(KB)", Qt::AlignCenter},
    {"notes", Qt::AlignRight | Qt::AlignVCenter},
}};

constexpr std::array<const char*, kStatusIconCount> kStatusIcons{
    ":/icons/status-added.svg", ":/icons/status-converting.svg", ":/icons/status-failed.svg",
    ":/icons/status-done.svg", ":/icons/status-stopped.svg"};

}  // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QIcon FileListModel::StatusIcon(int icon) {
  if (icon < 0 || icon >= kStatusIconCount) return {};
  static std::array<QIcon, kStatusIconCount> cache;
  QIcon& cached = cache[static_cast<size_t>(icon)];
  if (cached.isNull()) cached = QIcon(kStatusIcons[static_cast<size_t>(icon)]);
  return cached;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !Valid(index.row())) return {};
  const Cells& cells = rows_[static_cast<size_t>(index.row())];
  const auto column = static_cast<size_t>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return column == kColumnIcon ? QVariant() : QVariant(cells.text[column]);
    case Qt::DecorationRole:
      return column == kColumnIcon ? QVariant(StatusIcon(cells.icon)) : QVariant();
    case Qt::BackgroundRole:
      return cells.colours[column] ? QVariant(*cells.colours[column]) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kColumns[column].alignment);
    case kProgressRole: {
      bool number = false;
      const int value = cells.text[kColumnProgress].toInt(&number);
      return column == kColumnProgress && number ? QVariant(value) : QVariant();
    }
    case Qt::ToolTipRole:
      return column == kColumnIcon ? QVariant() : QVariant(cells.text[column]);
    default:
      return {};
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString(kColumns[static_cast<size_t>(section)].header);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

void FileListModel::InsertRow(int row) {
  row = std::clamp(row, 0, static_cast<int>(rows_.size()));
  beginInsertRows({}, row, row);
  rows_.insert(rows_.begin() + row, Cells{});
  endInsertRows();
}

void FileListModel::DeleteRow(int row) {
  if (!Valid(row)) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void FileListModel::DeleteAllRows() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void FileListModel::SetText(int row, int column, const QString& text) {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return;
  QString& cell = rows_[static_cast<size_t>(row)].text[static_cast<size_t>(column)];
  if (cell == text) return;
  cell = text;
  emit dataChanged(index(row, column), index(row, column));
}

void FileListModel::SetIcon(int row, int icon) {
  if (!Valid(row)) return;
  rows_[static_cast<size_t>(row)].icon = icon;
  emit dataChanged(index(row, kColumnIcon), index(row, kColumnIcon));
}

void FileListModel::SetColour(int row, int column, std::optional<QColor> colour) {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return;
  rows_[static_cast<size_t>(row)].colours[static_cast<size_t>(column)] = colour;
  emit dataChanged(index(row, column), index(row, column));
}

void FileListModel::Redraw(int row) {
  if (Valid(row)) emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

QString FileListModel::Text(int row, int column) const {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return {};
  return rows_[static_cast<size_t>(row)].text[static_cast<size_t>(column)];
}

int FileListModel::Icon(int row) const { return Valid(row) ? rows_[static_cast<size_t>(row)].icon : -1; }

std::optional<QColor> FileListModel::Colour(int row, int column) const {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return std::nullopt;
  return rows_[static_cast<size_t>(row)].colours[static_cast<size_t>(column)];
}

}  // namespace recast::ui
