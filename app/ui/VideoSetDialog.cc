#include "VideoSetDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

#include "UiStyle.h"

namespace recast::ui {
namespace {

QLineEdit* NumberEdit(int id, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::number(id));
  edit->setValidator(new QIntValidator(0, 1'000'000, edit));
  return edit;
}

QRadioButton* Radio(int id, const char* text, QWidget* parent) {
  auto* radio = new QRadioButton(text, parent);
  radio->setObjectName(QString::number(id));
  radio->setAutoExclusive(false);  // the model decides what is checked
  return radio;
}

QGroupBox* Group(const char* title, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  SetTextColour(group);
  return group;
}

void ShowEdit(QLineEdit* edit, const Control& control) {
  if (edit->text().toStdString() != control.text) edit->setText(QString::fromStdString(control.text));
  edit->setEnabled(control.enabled);
}

void ShowRadio(QRadioButton* radio, const Control& control) {
  radio->setChecked(control.checked);
  radio->setEnabled(control.enabled);
}

}  // namespace

VideoSetDialog::VideoSetDialog(const VideoSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), model_(settings_) {
  setWindowTitle("Video Set");
  setObjectName("VideoSet");
  auto* layout = new QVBoxLayout(this);

  auto* size = Group("Video Size", this);
  auto* sizeGrid = new QGridLayout(size);
  width_ = NumberEdit(1022, size);
  height_ = NumberEdit(1023, size);
  resetSize_ = new QCheckBox("Reset Video Size:", size);
  resetSize_->setObjectName("1030");
  presets_ = new QComboBox(size);
  presets_->setObjectName("1039");
  presets_->addItem("");
  for (const SizePreset& preset : SizePresets())
    presets_->addItem(QString::fromUtf8(preset.name.data(), static_cast<int>(preset.name.size())));
  sizeGrid->addWidget(new QLabel("Width:", size), 0, 0);
  sizeGrid->addWidget(width_, 0, 1);
  sizeGrid->addWidget(new QLabel("Height:", size), 0, 2);
  sizeGrid->addWidget(height_, 0, 3);
  sizeGrid->addWidget(resetSize_, 1, 0, 1, 2);
  sizeGrid->addWidget(presets_, 1, 2, 1, 2);
  layout->addWidget(size);

  auto* rate = Group("Bitrate", this);
  auto* rateGrid = new QGridLayout(rate);
  cbr_ = Radio(1049, "CBR", rate);
  vbr_ = Radio(1028, "VBR", rate);
  bitRate_ = NumberEdit(1051, rate);
  quality_ = NumberEdit(1050, rate);
  rateGrid->addWidget(cbr_, 0, 0);
  rateGrid->addWidget(new QLabel("Set Bitrate(kbps)", rate), 0, 1);
  rateGrid->addWidget(bitRate_, 0, 2);
  rateGrid->addWidget(vbr_, 1, 0);
  rateGrid->addWidget(new QLabel("Set Quality", rate), 1, 1);
  rateGrid->addWidget(quality_, 1, 2);
  layout->addWidget(rate);

  auto* codec = Group("Video Codec", this);
  auto* codecLayout = new QVBoxLayout(codec);
  wmv9_ = Radio(1019, "Windows Media Video 9", codec);
  wmv8_ = Radio(1021, "Windows Media Video 8", codec);
  codecLayout->addWidget(wmv9_);
  codecLayout->addWidget(wmv8_);
  layout->addWidget(codec);

  auto* audio = Group("Audio", this);
  auto* audioLayout = new QVBoxLayout(audio);
  audioLayout->addWidget(new QLabel("Decoder:  Windows Media Audio 8/9/9.1", audio));
  audioLayout->addWidget(new QLabel("Format :   16 KHz, 1 Chs, 16 Bits,16 Kbps", audio));
  layout->addWidget(audio);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("IDOK");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("IDCANCEL");
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &VideoSetDialog::OnOk);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(cbr_, &QRadioButton::clicked, this, [this] { TakeEdits(); model_.ClickCbr(); ShowControls(); });
  connect(vbr_, &QRadioButton::clicked, this, [this] { TakeEdits(); model_.ClickVbr(); ShowControls(); });
  connect(wmv8_, &QRadioButton::clicked, this, [this] { model_.ClickWmv8(); ShowControls(); });
  connect(wmv9_, &QRadioButton::clicked, this, [this] { ShowControls(); });
  connect(resetSize_, &QCheckBox::clicked, this, [this] { model_.EnablePresets(); ShowControls(); });
  connect(presets_, &QComboBox::activated, this, [this](int index) {
    TakeEdits();
    model_.ChoosePreset(static_cast<size_t>(index));
    ShowControls();
  });
  for (QLineEdit* edit : {width_, height_, bitRate_, quality_})
    connect(edit, &QLineEdit::textEdited, this, [this] { TakeEdits(); });

  model_.OnCreate();
  ShowControls();
}

void VideoSetDialog::SetRateMode(bool cbr, bool severalFiles) {
  TakeEdits();
  model_.SetRateMode(cbr, severalFiles);
  ShowControls();
}

// The edits' texts are what the model's controls hold, as a dialog's edit controls would.
void VideoSetDialog::TakeEdits() {
  if (showing_) return;
  VideoSetControls& c = model_.Controls();
  c.width.text = width_->text().toStdString();
  c.height.text = height_->text().toStdString();
  c.bitRate.text = bitRate_->text().toStdString();
  c.quality.text = quality_->text().toStdString();
}

void VideoSetDialog::ShowControls() {
  showing_ = true;
  const VideoSetControls& c = model_.Controls();
  ShowEdit(width_, c.width);
  ShowEdit(height_, c.height);
  ShowEdit(bitRate_, c.bitRate);
  ShowEdit(quality_, c.quality);
  ShowRadio(cbr_, c.cbr);
  ShowRadio(vbr_, c.vbr);
  ShowRadio(wmv9_, c.wmv9);
  ShowRadio(wmv8_, c.wmv8);
  presets_->setEnabled(c.preset.enabled);
  resetSize_->setChecked(c.preset.enabled);
  showing_ = false;
}

void VideoSetDialog::OnOk() {
  TakeEdits();
  model_.Ok();
  accept();
}

}  // namespace recast::ui
