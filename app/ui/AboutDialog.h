// The About dialog: "About Recast", the program icon and "Recast 2.0 ".
#pragma once

#include <QDialog>

namespace recast::ui {

class AboutDialog final : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace recast::ui
