// PreviewArea: the preview's picture control. It registers a frame sink under a window handle
// of its own, and the video renderer of a preview graph whose video window is owned by that
// handle paints every picture here. Pictures arrive on the renderer's streaming thread; the
// newest one is kept and drawn, scaled to the area, on the window's thread.
//
// Locks: lock_ guards the picture only.
#pragma once

#include <QImage>
#include <QWidget>
#include <mutex>

#include "FrameSink.h"

namespace recast::ui {

class PreviewArea final : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewArea(QWidget* parent = nullptr);
  ~PreviewArea() override;

  // The handle the video window is given as its owner.
  HWND Handle() const { return handle_; }
  // Forgets the picture (the preview stopped).
  void Clear();
  QImage Picture() const;
  int PicturesReceived() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static void OnPicture(void* context, HWND window, const FramePicture& picture);

  HWND handle_;
  mutable std::mutex lock_;
  QImage picture_;    // guarded by lock_
  int received_ = 0;  // guarded by lock_
};

// The YUV 4:2:0 picture as 32-bit RGB (BT.601, studio range).
QImage PictureToImage(const FramePicture& picture);

}  // namespace recast::ui
