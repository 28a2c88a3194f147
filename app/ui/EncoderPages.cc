#include "EncoderPages.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "FfdshowIds.h"

namespace recast::ui {
namespace {

QSpinBox* Spin(const char* name, int minimum, int maximum, int value, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  return spin;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("IDOK");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("IDCANCEL");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

template <typename Page>
HRESULT Run(const QString& caption, QWidget* parent) {
  Page page(caption, parent);
  if (page.exec() != QDialog::Accepted) return S_FALSE;
  return page.Store() ? S_OK : E_FAIL;
}

}  // namespace

VideoEncoderPage::VideoEncoderPage(const QString& caption, QWidget* parent)
    : QDialog(parent), settings_(VideoEncoderSettings::Load()) {
  using S = VideoEncoderSettings;
  setWindowTitle(caption);
  setObjectName("VideoEncoderPage");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  bitRate_ = Spin(kBitRateValue, S::kMinBitRate, S::kMaxBitRate, static_cast<int>(settings_.bitRateKbps), this);
  quantizer_ = Spin(kQuantizerValue, 0, S::kMaxQuantizer, static_cast<int>(settings_.quantizer), this);
  quantizer_->setSpecialValueText("off (use the bit rate)");
  keyInterval_ = Spin(kKeyIntervalValue, 1, S::kMaxKeyInterval, static_cast<int>(settings_.keyInterval), this);
  threads_ = Spin(kThreadsValue, 0, S::kMaxThreads, static_cast<int>(settings_.threads), this);
  threads_->setSpecialValueText("automatic");
  fourCC_ = new QLineEdit(QString::fromStdString(settings_.fourCC), this);
  fourCC_->setObjectName(kFourCCValue);
  fourCC_->setMaxLength(4);
  form->addRow("Bit rate (kbps):", bitRate_);
  form->addRow("Fixed quantizer:", quantizer_);
  form->addRow("Key frame interval:", keyInterval_);
  form->addRow("Encoder threads:", threads_);
  form->addRow("FourCC:", fourCC_);
  layout->addLayout(form);
  layout->addWidget(OkCancel(this));
}

bool VideoEncoderPage::Store() {
  settings_.bitRateKbps = static_cast<DWORD>(bitRate_->value());
  // A quantizer of 1 is below the encoder's range; the spin box's 0 means "use the bit rate".
  const int quantizer = quantizer_->value();
  settings_.quantizer = quantizer == 0 ? 0 : static_cast<DWORD>(std::max<int>(quantizer, VideoEncoderSettings::kMinQuantizer));
  settings_.keyInterval = static_cast<DWORD>(keyInterval_->value());
  settings_.threads = static_cast<DWORD>(threads_->value());
  if (fourCC_->text().size() == 4) settings_.fourCC = fourCC_->text().toStdString();
  return SUCCEEDED(settings_.Save());
}

AudioProcessorPage::AudioProcessorPage(const QString& caption, QWidget* parent)
    : QDialog(parent), settings_(AudioProcessorSettings::Load()) {
  setWindowTitle(caption);
  setObjectName("AudioProcessorPage");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  resampleRate_ = Spin(kResampleRateValue, 0, AudioProcessorSettings::kMaxRate,
                       static_cast<int>(settings_.resampleRate), this);
  resampleRate_->setSpecialValueText("keep the source rate");
  form->addRow("Resample to (Hz):", resampleRate_);
  layout->addLayout(form);
  layout->addWidget(OkCancel(this));
}

bool AudioProcessorPage::Store() {
  const int rate = resampleRate_->value();
  settings_.resampleRate = rate == 0 ? 0 : static_cast<DWORD>(std::max<int>(rate, AudioProcessorSettings::kMinRate));
  return SUCCEEDED(settings_.Save());
}

HRESULT ShowPropertyPage(const CLSID& page, const QString& caption, QWidget* parent) {
  if (page == CLSID_FfdshowVideoEncoderPage) return Run<VideoEncoderPage>(caption, parent);
  if (page == CLSID_FfdshowAudioProcessorPage) return Run<AudioProcessorPage>(caption, parent);
  return E_NOTIMPL;
}

}  // namespace recast::ui
