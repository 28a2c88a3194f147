#include "InfoPages.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "UiStyle.h"

namespace recast::ui {
namespace {

// The field ids of the pages ("Source" numbering) and of the Source File Info dialog.
constexpr std::array<int, 6> kPageIds{1130, 1108, 1109, 1110, 1111, 1095};
constexpr std::array<int, 6> kDialogIds{1132, 1089, 1091, 1092, 1094, 1095};
constexpr std::array<const char*, 6> kPageLabels{"File:", "Duration:", "Bitrate:", "Format:",
                                                 "Size:", "Framerate:"};
constexpr std::array<const char*, 6> kDialogLabels{"", "Duration", "Bitrate/Quality",
                                                   "Video Format", "Video Size",
                                                   "Video Framerate"};
constexpr std::array<const char*, 4> kAudioLabels{"Audio:", "Sampling:", "Channels:", "Bits:"};

QLabel* ColouredLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  SetTextColour(label);
  return label;
}

}  // namespace

InfoForm::InfoForm(const std::array<int, 6>& ids, const std::array<const char*, 6>& labels,
                   QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QFormLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setVerticalSpacing(3);
  layout->setHorizontalSpacing(4);
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i] = new QLineEdit(this);
    fields_[i]->setReadOnly(true);
    fields_[i]->setObjectName(QString::number(ids[i]));
    fields_[i]->setFrame(false);
    layout->addRow(ColouredLabel(labels[i], this), fields_[i]);
  }
  for (size_t i = 0; i < audio_.size(); ++i) {
    audio_[i] = new QLabel(this);
    audio_[i]->setObjectName(QString("audio-%1").arg(i));
    layout->addRow(ColouredLabel(kAudioLabels[i], this), audio_[i]);
  }
  Clear();
}

void InfoForm::Show(const InfoFields& fields) {
  const std::array<const std::string*, 6> texts{&fields.path,  &fields.duration, &fields.rate,
                                                &fields.format, &fields.size,   &fields.frameRate};
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->setText(QString::fromStdString(*texts[i]));
    fields_[i]->setCursorPosition(0);
  }
  for (size_t i = 0; i < audio_.size(); ++i)
    audio_[i]->setText(QString::fromUtf8(fields.audio[i].data(), static_cast<qsizetype>(fields.audio[i].size())));
}

InfoPages::InfoPages(QWidget* parent) : QTabWidget(parent) {
  const std::array<const char*, 3> titles{"Source", "Destination", "Preview"};
  for (size_t i = 0; i < pages_.size(); ++i) {
    pages_[i] = new InfoForm(kPageIds, kPageLabels, this);
    pages_[i]->setObjectName(QString("page-%1").arg(titles[i]));
    addTab(pages_[i], titles[i]);
  }
}

FileInfoDialog::FileInfoDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Source File Info");
  setObjectName("SourceFileInfo");
  auto* layout = new QVBoxLayout(this);
  form_ = new InfoForm(kDialogIds, kDialogLabels, this);
  layout->addWidget(form_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setObjectName("IDOK");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

}  // namespace recast::ui
