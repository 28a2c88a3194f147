// VideoSetDialog: the Video Set dialog drawn over the CVideoSetDlg model. The widgets only
// show the model's controls and forward clicks and edits to it, so every rule (rate modes,
// presets, the codec choice) stays in the model. It edits a copy of the settings; the window
// hands the copy to the driver on OK.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "VideoSetDlg.h"

namespace recast::ui {

class VideoSetDialog final : public QDialog {
 public:
  VideoSetDialog(const VideoSettings& settings, QWidget* parent = nullptr);

  // The settings as OK left them.
  const VideoSettings& Settings() const { return settings_; }
  // The main window's combo box switched the mode while the dialog is open.
  void SetRateMode(bool cbr, bool severalFiles);

 private:
  void ShowControls();
  void TakeEdits();
  void OnOk();

  VideoSettings settings_;
  CVideoSetDlg model_;
  QLineEdit* width_;
  QLineEdit* height_;
  QLineEdit* bitRate_;
  QLineEdit* quality_;
  QRadioButton* cbr_;
  QRadioButton* vbr_;
  QRadioButton* wmv9_;
  QRadioButton* wmv8_;
  QCheckBox* resetSize_;
  QComboBox* presets_;
  bool showing_ = false;
};

}  // namespace recast::ui
