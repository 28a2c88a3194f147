// The window's commands: each forwards to the driver on the worker, with the window's own
// conditions (nothing changes the list while a preview is open or a file converts).
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "AboutDialog.h"
#include "ControlIds.h"
#include "FileListView.h"
#include "MainWindow.h"
#include "StallMonitor.h"

namespace recast::ui {
namespace {

constexpr char kFileFilter[] = "mp4 file(*.mp4 *.264);;all files(*)";
constexpr char kManualMissing[] = "Cannot find the user manual:\n%1";
constexpr char kCloseQuestion[] = "A file is being converted. Stop the conversion and close?";

// Add file, Add folder and row clicks are ignored while a preview is open or a file converts.
bool ListLocked(const DriverSnapshot& snapshot, bool previewOpen) {
  return previewOpen || snapshot.state == ConvertState::Converting;
}

}  // namespace

void MainWindow::Post(Work work, std::function<void()> then) {
  ++busy_;
  worker_->Post([this, work = std::move(work), then = std::move(then)] {
    QElapsedTimer clock;
    clock.start();
    work(*driver_);
    DriverSnapshot snapshot = TakeSnapshot(*driver_);
    const qint64 callMs = clock.elapsed();
    QMetaObject::invokeMethod(
        this, [this, snapshot = std::move(snapshot), callMs, then] { OnCallDone(snapshot, callMs, then); },
        Qt::QueuedConnection);
  });
}

void MainWindow::OnCallDone(DriverSnapshot snapshot, qint64 callMs, const std::function<void()>& then) {
  snapshot_ = std::move(snapshot);
  longestCallMs_ = std::max(longestCallMs_, callMs);
  --busy_;
  deferred_.Flush();
  ShowOutputKind(snapshot_.kind);
  ApplyEnabling();
  if (then) then();
  emit DriverCallDone();
}

void MainWindow::OnAddFile() {
  if (ListLocked(snapshot_, previewOpen_)) return;
  const QString path = hooks_.chooseFile
                           ? hooks_.chooseFile()
                           : QFileDialog::getOpenFileName(this, "Open", {}, kFileFilter);
  if (path.isEmpty()) return;
  RestartDriverTimer();
  Post([path = path.toStdString()](CConvertDriver& d) { d.AddFileChecked(path); });
}

void MainWindow::OnAddFolder() {
  if (ListLocked(snapshot_, previewOpen_)) return;
  const QString folder =
      hooks_.chooseFolder ? hooks_.chooseFolder()
                          : QFileDialog::getExistingDirectory(this, "Please choose contents");
  if (folder.isEmpty()) return;
  RestartDriverTimer();
  Post([folder = folder.toStdString()](CConvertDriver& d) { d.AddFolder(folder); });
}

void MainWindow::AddPaths(const QStringList& paths) {
  if (ListLocked(snapshot_, previewOpen_) || paths.isEmpty()) return;
  RestartDriverTimer();
  for (const QString& path : paths) {
    const bool folder = QFileInfo(path).isDir();
    Post([folder, path = QDir::cleanPath(path).toStdString()](CConvertDriver& d) {
      if (folder)
        d.AddFolder(path);
      else
        d.AddFileChecked(path);
    });
  }
}

void MainWindow::OnDelete() {
  Post([](CConvertDriver& d) { d.DeleteSelected(); });
}

void MainWindow::OnUp() {
  Post([](CConvertDriver& d) { d.MoveUp(); });
}

void MainWindow::OnDown() {
  Post([](CConvertDriver& d) { d.MoveDown(); });
}

void MainWindow::OnClear() {
  ClosePreview();
  Post([](CConvertDriver& d) { d.ClearList(); });
}

void MainWindow::OnStart() {
  if (snapshot_.state == ConvertState::Converting) return;
  ClosePreview();
  stalls_->Reset();
  Post([](CConvertDriver& d) { d.Start(); });
}

void MainWindow::OnStop() {
  Post([](CConvertDriver& d) { d.Stop(); });
}

void MainWindow::OnOutputKind(OutputKind kind) {
  if (snapshot_.state == ConvertState::Converting) {
    ShowOutputKind(snapshot_.kind);
    return;
  }
  ClosePreview();
  ShowOutputKind(kind);
  Post([kind](CConvertDriver& d) { d.SetOutputKind(kind); });
}

// The combo box switches the rate mode; with VBR for several WMV files the Video Set dialog
// opens too, as the dialog's own radios cannot switch modes then.
void MainWindow::OnRateMode(int index) {
  const bool cbr = index == 0;
  Post([cbr](CConvertDriver& d) { d.SetCbr(cbr); },
       [this, cbr] {
         RefreshInfoPages();
         if (!cbr && snapshot_.kind == OutputKind::Wmv && snapshot_.context.rowCount >= 2)
           ShowVideoSet();
       });
}

void MainWindow::OnVideoSet() {
  if (CopiesVideo(snapshot_.kind)) return;
  auto prepared = std::make_shared<bool>(false);
  Post([prepared](CConvertDriver& d) { *prepared = d.EnsurePrepared(); },
       [this, prepared] {
         if (!*prepared) return;
         if (snapshot_.kind == OutputKind::Wmv) {
           ShowVideoSet();
           return;
         }
         Post([](CConvertDriver& d) {
           if (IConverter* converter = d.Converter()) converter->ConfigureVideo();
         });
       });
}

void MainWindow::OnAudioSet() {
  if (CopiesVideo(snapshot_.kind)) return;
  Post([](CConvertDriver& d) {
    if (!d.EnsurePrepared()) return;
    if (IConverter* converter = d.Converter()) converter->ConfigureAudio();
  });
}

QString MainWindow::ManualPath() const { return QDir(manualFolder_).filePath(kManualName); }

void MainWindow::OnHelp() {
  const QString path = ManualPath();
  if (!QFileInfo::exists(path)) {
    Message(QString(kManualMissing).arg(path), "Help");
    return;
  }
  const QUrl url = QUrl::fromLocalFile(path);
  const bool opened = hooks_.openUrl ? hooks_.openUrl(url) : QDesktopServices::openUrl(url);
  if (!opened) Message(QString("Cannot open the user manual:\n%1").arg(path), "Help");
}

void MainWindow::OnAbout() {
  AboutDialog about(this);
  about.exec();
}

void MainWindow::OnRowClicked(int row) {
  if (ListLocked(snapshot_, previewOpen_)) return;
  Post([row](CConvertDriver& d) { d.SelectRow(row); });
}

void MainWindow::OnRowRightClicked(int row, const QPoint& globalPos) {
  if (previewOpen_) {
    DeselectAll();
    return;
  }
  if (snapshot_.state == ConvertState::Converting) {
    // Only the converting row has a menu then.
    if (row != snapshot_.context.currentPosition - 1) return;
    UpdateMenu();
    menu_->popup(globalPos);
    return;
  }
  auto show = [this, globalPos] {
    UpdateMenu();
    menu_->popup(globalPos);
  };
  if (row < 0) {
    show();
    return;
  }
  Post([row](CConvertDriver& d) { d.SelectRow(row); }, show);
}

void MainWindow::OnDriverTimer() {
  if (busy_ > 0) return;  // the previous step is still on the worker
  if (snapshot_.state == ConvertState::Converting) {
    Post([](CConvertDriver& d) { d.OnTimer(kDriverTimerId); });
    return;
  }
  if (previewOpen_ && previewMode_ == PreviewMode::Playing) slider_->setValue(preview_->SliderPosition());
  if (reattach_) {
    AttachPreview();
    reattach_ = false;
  }
}

// Closing while a file converts asks once; the conversion is then stopped so that its file
// is finalised, and the window waits for that before it goes.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  if (snapshot_.state == ConvertState::Converting || busy_ > 0) {
    const bool stop = hooks_.confirmClose
                          ? hooks_.confirmClose()
                          : QMessageBox::question(this, "Recast 2.0", kCloseQuestion) == QMessageBox::Yes;
    if (!stop) {
      event->ignore();
      return;
    }
  }
  closing_ = true;
  driverTimer_.stop();
  ClosePreview();
  Post([](CConvertDriver& d) {
    d.Stop();
    d.ClearList();
  });
  worker_.reset();  // waits for the stop; the file is complete when this returns
  worker_ = std::make_unique<DriverWorker>();
  QApplication::sendPostedEvents(this);
  event->accept();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (previewOpen_) reattach_ = true;
}

}  // namespace recast::ui
