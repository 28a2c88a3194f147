// The settings pages of the AVI chain's outside encoder and audio processor. The filters list
// their page class identifiers through ISpecifyPropertyPages; ShowPropertyPage opens the Qt
// dialog of a known page over exactly the registry settings the filter reads when it starts
// streaming, so the next conversion uses what the user stored.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>

#include "FfdshowSettings.h"
#include "Guid.h"

namespace recast::ui {

class VideoEncoderPage final : public QDialog {
 public:
  explicit VideoEncoderPage(const QString& caption, QWidget* parent = nullptr);
  // Stores the edited values; false when the registry refused them.
  bool Store();

 private:
  VideoEncoderSettings settings_;
  QSpinBox* bitRate_;
  QSpinBox* quantizer_;
  QSpinBox* keyInterval_;
  QSpinBox* threads_;
  QLineEdit* fourCC_;
};

class AudioProcessorPage final : public QDialog {
 public:
  explicit AudioProcessorPage(const QString& caption, QWidget* parent = nullptr);
  bool Store();

 private:
  AudioProcessorSettings settings_;
  QSpinBox* resampleRate_;
};

// Shows the page `page` modally; S_FALSE when the user cancelled, E_NOTIMPL for a page this
// program does not know, E_FAIL when storing failed.
HRESULT ShowPropertyPage(const CLSID& page, const QString& caption, QWidget* parent);

}  // namespace recast::ui
