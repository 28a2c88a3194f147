// The preview, the information pages, the Source File Info dialog and the settings dialogs.
#include <QStyle>
#include <QTimer>

#include "ControlIds.h"
#include "ControlTable.h"
#include "EncoderPages.h"
#include "InfoPages.h"
#include "MainWindow.h"
#include "PreviewArea.h"
#include "VideoSetDialog.h"
#include "WideString.h"

namespace recast::ui {
namespace {

// A step is carried out by the renderer as the next frame arrives; the slider follows once
// it had time to.
constexpr int kStepSettleMs = 150;

}  // namespace

// ---- Preview --------------------------------------------------------------------------

void MainWindow::PreviewPlay() {
  if (snapshot_.state == ConvertState::Converting || busy_ > 0) return;
  if (previewOpen_) {
    preview_->Play();
    previewMode_ = PreviewMode::Playing;
    ApplyEnabling();
    return;
  }
  const std::string path = snapshot_.currentRowPath;
  if (path.empty()) return;
  auto opened = std::make_shared<HRESULT>(E_FAIL);
  // Rendering the file may take a while, so it is done on the worker like a preparation.
  Post([this, path, opened](CConvertDriver&) { *opened = preview_->Open(path); },
       [this, opened] {
         // A preview that cannot be opened shows nothing; only the controls are refreshed.
         if (FAILED(*opened)) {
           ApplyEnabling();
           return;
         }
         previewArea_->setFocus();
         previewOpen_ = true;
         SizePreviewArea();
         AttachPreview();
         preview_->Play();
         previewMode_ = PreviewMode::Playing;
         pages_->setCurrentIndex(kPreviewPage);
         FillInfoPages();
         ApplyEnabling();
       });
}

void MainWindow::PreviewPause() {
  if (!previewOpen_) return;
  preview_->Pause();
  previewMode_ = PreviewMode::Paused;
  ApplyEnabling();
}

void MainWindow::PreviewStep() {
  if (!previewOpen_ || snapshot_.state == ConvertState::Converting) return;
  if (preview_->Step() == S_OK) {
    slider_->setValue(preview_->SliderPosition());
    QTimer::singleShot(kStepSettleMs, this, [this] {
      if (previewOpen_) slider_->setValue(preview_->SliderPosition());
    });
  }
  previewMode_ = PreviewMode::Stepping;
  ApplyEnabling();
}

void MainWindow::PreviewStop() {
  if (!previewOpen_) return;
  ClosePreview();
  ApplyEnabling();
}

void MainWindow::ClosePreview() {
  if (!previewOpen_) return;
  preview_->Close();
  previewOpen_ = false;
  previewMode_ = PreviewMode::Paused;
  reattach_ = false;
  previewArea_->Clear();
  slider_->setValue(0);
  FillInfoPages();
}

void MainWindow::AttachPreview() {
  preview_->Attach(previewArea_->Handle(), previewArea_->width(), previewArea_->height());
}

// The preview area is as wide as the tab pages and 4:3 high.
void MainWindow::SizePreviewArea() {
  const int frame = pages_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  const int width = pages_->width() - 2 * frame;
  const int height = (std::max(width, 5) - 5) / 4 * 3;
  const QRect area = previewArea_->geometry();
  previewArea_->setGeometry(area.x(), area.y(), width, std::min(height, area.height()));
}

// ---- Information pages ----------------------------------------------------------------

void MainWindow::RefreshInfoPages() {
  const std::string path = snapshot_.currentRowPath;
  const bool known = facts_.count(path) || (snapshot_.converterPath == path && !path.empty());
  if (path.empty() || known || busy_ > 0) {
    FillInfoPages();
    return;
  }
  // A render-only look at the file gives its duration and decoded size without preparing it
  // (which would build its output).
  auto facts = std::make_shared<std::optional<FileFacts>>();
  Post([path, facts](CConvertDriver&) {
         CPreviewGraph look({});
         if (FAILED(look.Open(path))) return;
         FileFacts found;
         found.duration = look.Duration();
         look.VideoSize(found.decodedWidth, found.decodedHeight);
         *facts = found;
       },
       [this, path, facts] {
         if (*facts) facts_[path] = **facts;
         FillInfoPages();
       });
}

InfoInput MainWindow::Facts() const {
  FileFacts facts;
  const std::string& path = snapshot_.currentRowPath;
  if (const auto found = facts_.find(path); found != facts_.end()) facts = found->second;
  if (!path.empty() && snapshot_.converterPath == path) facts.duration = snapshot_.duration;
  if (previewOpen_ && preview_->Path() == path) {
    facts.duration = preview_->Duration();
    preview_->VideoSize(facts.decodedWidth, facts.decodedHeight);
  }
  return {snapshot_, facts};
}

void MainWindow::FillInfoPages() {
  if (snapshot_.currentRowPath.empty()) {
    for (int page : {kSourcePage, kDestinationPage, kPreviewPage}) pages_->Page(page)->Clear();
    return;
  }
  const InfoInput input = Facts();
  pages_->Page(kSourcePage)->Show(SourcePage(input));
  pages_->Page(kDestinationPage)->Show(DestinationPage(input));
  if (previewOpen_)
    pages_->Page(kPreviewPage)->Show(PreviewPage(input));
  else
    pages_->Page(kPreviewPage)->Clear();
}

void MainWindow::OnFileInfo() {
  auto prepared = std::make_shared<bool>(false);
  Post([prepared](CConvertDriver& d) { *prepared = d.EnsurePrepared(); },
       [this, prepared] {
         if (!*prepared) return;
         fileInfo_->Show(FileInfoFields(Facts()));
         DeselectAll();
         fileInfo_->show();
         fileInfo_->raise();
       });
}

// ---- Settings dialogs -----------------------------------------------------------------

void MainWindow::ShowVideoSet() {
  VideoSetDialog dialog(snapshot_.settings, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const VideoSettings edited = dialog.Settings();
  Post([edited](CConvertDriver& d) { d.Settings() = edited; }, [this] { FillInfoPages(); });
}

// Called on the worker by a converter asked to show a filter's pages; the page is shown on
// the window's thread while the worker waits for the answer.
HRESULT MainWindow::ShowPropertyFrame(IUnknown*, std::u16string_view caption, const CAUUID& pages) {
  if (pages.cElems == 0 || !pages.pElems) return E_FAIL;
  const CLSID page = pages.pElems[0];
  const QString title = QString::fromStdString(WideToUtf8(caption));
  HRESULT hr = E_FAIL;
  QMetaObject::invokeMethod(this, [&] { hr = ShowPropertyPage(page, title, this); },
                            Qt::BlockingQueuedConnection);
  return hr;
}

}  // namespace recast::ui
