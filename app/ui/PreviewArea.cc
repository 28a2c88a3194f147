#include "PreviewArea.h"

#include <QPainter>
#include <algorithm>
#include <atomic>

namespace recast::ui {
namespace {

uint8_t Clamp(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// Fixed-point BT.601 coefficients scaled by 256.
constexpr int kLuma = 298, kRedV = 409, kGreenU = 100, kGreenV = 208, kBlueU = 516;
constexpr int kRound = 128, kShift = 8, kLumaOffset = 16, kChromaOffset = 128;

// Window handles only have to be unique within the process; the sink table never turns them
// back into pointers.
HWND NextHandle() {
  static std::atomic<HWND> next{0x52430000};
  return ++next;
}

}  // namespace

QImage PictureToImage(const FramePicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 || !picture.planes[0] || !picture.planes[1] ||
      !picture.planes[2])
    return {};
  QImage image(picture.width, picture.height, QImage::Format_RGB32);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* luma = picture.planes[0] + static_cast<ptrdiff_t>(y) * picture.strides[0];
    const uint8_t* u = picture.planes[1] + static_cast<ptrdiff_t>(y / 2) * picture.strides[1];
    const uint8_t* v = picture.planes[2] + static_cast<ptrdiff_t>(y / 2) * picture.strides[2];
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < picture.width; ++x) {
      const int c = kLuma * (luma[x] - kLumaOffset);
      const int d = u[x / 2] - kChromaOffset;
      const int e = v[x / 2] - kChromaOffset;
      out[x] = qRgb(Clamp((c + kRedV * e + kRound) >> kShift),
                    Clamp((c - kGreenU * d - kGreenV * e + kRound) >> kShift),
                    Clamp((c + kBlueU * d + kRound) >> kShift));
    }
  }
  return image;
}

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent), handle_(NextHandle()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  RegisterFrameSink(handle_, &PreviewArea::OnPicture, this);
}

PreviewArea::~PreviewArea() { UnregisterFrameSink(handle_); }

void PreviewArea::OnPicture(void* context, HWND, const FramePicture& picture) {
  auto* area = static_cast<PreviewArea*>(context);
  QImage image = PictureToImage(picture);
  {
    const std::lock_guard guard(area->lock_);
    area->picture_ = std::move(image);
    ++area->received_;
  }
  QMetaObject::invokeMethod(area, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void PreviewArea::Clear() {
  {
    const std::lock_guard guard(lock_);
    picture_ = QImage();
  }
  update();
}

QImage PreviewArea::Picture() const {
  const std::lock_guard guard(lock_);
  return picture_;
}

int PreviewArea::PicturesReceived() const {
  const std::lock_guard guard(lock_);
  return received_;
}

void PreviewArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QImage picture = Picture();
  if (picture.isNull()) return;
  // Kept in proportion, centred.
  const QSize size = picture.size().scaled(this->size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture);
}

}  // namespace recast::ui
