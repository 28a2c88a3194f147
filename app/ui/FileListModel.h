// FileListModel: the rows of the conversion list as the list view shows them: six columns,
// a status icon in column 0, a background colour per cell and the progress in column 3.
// The window fills it from the driver's view calls.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <array>
#include <optional>
#include <vector>

#include "DriverView.h"

namespace recast::ui {

// The status icons by index: added, converting, failed, converted, stopped by hand.
constexpr int kStatusIconCount = 5;
// Column 3's role for the progress value (an int 0..100, or an invalid QVariant when cleared).
constexpr int kProgressRole = Qt::UserRole + 1;

class FileListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit FileListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void InsertRow(int row);
  void DeleteRow(int row);
  void DeleteAllRows();
  void SetText(int row, int column, const QString& text);
  void SetIcon(int row, int icon);
  void SetColour(int row, int column, std::optional<QColor> colour);
  void Redraw(int row);

  QString Text(int row, int column) const;
  int Icon(int row) const;
  std::optional<QColor> Colour(int row, int column) const;
  static QIcon StatusIcon(int icon);

 private:
  struct Cells {
    std::array<QString, kColumnCount> text;
    std::array<std::optional<QColor>, kColumnCount> colours;
    int icon = 0;
  };
  bool Valid(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }

  std::vector<Cells> rows_;
};

}  // namespace recast::ui
