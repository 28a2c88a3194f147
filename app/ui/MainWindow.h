// MainWindow: the Recast window. It implements IDriverView over its list and controls and
// drives the conversion driver from timer 1025 (500 ms).
//
// Threads: the driver runs on the conversion worker (DriverWorker), one call at a time; its
// view calls are recorded (DeferredView) and replayed here when the call returns, together
// with a snapshot of the driver's state (DriverSnapshot), which is all this thread reads of
// the driver. So preparing, starting and stopping a graph never stalls the window. The
// preview graph and the widgets belong to this thread.
//
// Where the members are used:
//   MainWindow.cc    building the window, enabling, the IDriverView calls
//   MainCommands.cc  the commands of the buttons, the context menu and the timer
//   MainPreview.cc   the preview, the information pages and the Source File Info dialog
#pragma once

#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "ConvertDriver.h"
#include "DeferredView.h"
#include "DriverSnapshot.h"
#include "DriverWorker.h"
#include "Enabling.h"
#include "FileListModel.h"
#include "GraphConverter.h"
#include "InfoText.h"
#include "PreviewGraph.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QRadioButton;

namespace recast::ui {

class FileListView;
class InfoPages;
class FileInfoDialog;
class LoadMeter;
class PreviewArea;
class StallMonitor;

// What the window asks of the desktop; tests replace these.
struct WindowHooks {
  std::function<void(const QString& text, const QString& caption)> message;
  std::function<QString()> chooseFile;
  std::function<QString()> chooseFolder;
  std::function<bool(const QUrl& url)> openUrl;
  std::function<bool()> confirmClose;  // closing while converting
};

// The name of the user manual, installed beside the program.
inline constexpr char kManualName[] = "Recast 2.0 User Manual.html";

class MainWindow final : public QWidget, public IDriverView {
  Q_OBJECT

 public:
  // `factory` makes the converter of each file; it is called on the worker.
  using FactoryMaker = std::function<ConverterFactory(MessageSink messages, PropertyFrameFn frame)>;
  explicit MainWindow(FactoryMaker makeFactory, QWidget* parent = nullptr);
  ~MainWindow() override;

  WindowHooks& Hooks() { return hooks_; }
  // Adds files and folders as Add file and Add folder do (command line, drops).
  void AddPaths(const QStringList& paths);
  // True while a driver call is on the worker.
  bool Busy() const { return busy_ > 0; }
  const DriverSnapshot& Snapshot() const { return snapshot_; }
  FileListModel& Model() { return model_; }
  PreviewArea* Preview() const { return previewArea_; }
  InfoPages* Pages() const { return pages_; }
  FileInfoDialog* InfoDialog() const { return fileInfo_; }
  QSlider* Slider() const { return slider_; }
  bool PreviewOpen() const { return previewOpen_; }
  PreviewMode PreviewModeNow() const { return previewMode_; }
  QMenu* ContextMenu() const { return menu_; }
  StallMonitor* Stalls() const { return stalls_; }
  // The longest time one driver call kept the worker, in ms: what the window would have
  // stalled had it made the call itself.
  qint64 LongestDriverCallMs() const { return longestCallMs_; }
  // Enables the context menu's items as they would be for a right click now.
  void UpdateMenu();
  // The directory the manual is looked for in (the program's own by default).
  void SetManualFolder(const QString& folder) { manualFolder_ = folder; }

  // ---- Commands (the buttons call these) ----
  void OnAddFile();
  void OnAddFolder();
  void OnDelete();
  void OnUp();
  void OnDown();
  void OnClear();
  void OnStart();
  void OnStop();
  void OnVideoSet();
  void OnAudioSet();
  void OnHelp();
  void OnAbout();
  void OnFileInfo();
  void OnOutputKind(OutputKind kind);
  void OnRateMode(int index);
  void OnRowClicked(int row);
  void OnRowRightClicked(int row, const QPoint& globalPos);
  void OnDriverTimer();
  void PreviewPlay();
  void PreviewPause();
  void PreviewStep();
  void PreviewStop();

  // ---- IDriverView ----
  RECAST_DRIVER_VIEW_METHODS(RECAST_DRIVER_VIEW_OVERRIDE)

 signals:
  // A driver call returned and its view calls were replayed.
  void DriverCallDone();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  using Work = std::function<void(CConvertDriver&)>;
  // Runs `work` on the worker; `then` runs here after its view calls were replayed.
  void Post(Work work, std::function<void()> then = {});
  void OnCallDone(DriverSnapshot snapshot, qint64 callMs, const std::function<void()>& then);

  // MainWindow.cc
  void BuildControls();
  QWidget* MakeControl(const struct ControlEntry& entry);
  void BuildMenu();
  void ApplyEnabling();
  QWidget* Control(int id) const;
  void Message(const QString& text, const QString& caption = "Attention");
  void RestartDriverTimer();
  void ShowOutputKind(OutputKind kind);

  // MainPreview.cc
  void AttachPreview();
  void ClosePreview();
  void SizePreviewArea();
  void FillInfoPages();
  InfoInput Facts() const;
  void ShowVideoSet();
  HRESULT ShowPropertyFrame(IUnknown* object, std::u16string_view caption, const CAUUID& pages);
  QString ManualPath() const;

  WindowHooks hooks_;
  FileListModel model_;
  DeferredView deferred_;
  std::unique_ptr<CConvertDriver> driver_;  // used on the worker only
  DriverSnapshot snapshot_;
  int busy_ = 0;
  qint64 longestCallMs_ = 0;
  ControlContext lastContext_;
  std::map<int, QWidget*> controls_;
  std::map<int, QAction*> menuItems_;
  FileListView* list_ = nullptr;
  QComboBox* rateCombo_ = nullptr;
  QRadioButton* wmvRadio_ = nullptr;
  QRadioButton* aviRadio_ = nullptr;
  QRadioButton* mp4Radio_ = nullptr;
  QLabel* rateLabel_ = nullptr;
  QLabel* mp4Label_ = nullptr;
  QLineEdit* sourcePath_ = nullptr;
  QLineEdit* outputPath_ = nullptr;
  InfoPages* pages_ = nullptr;
  FileInfoDialog* fileInfo_ = nullptr;
  PreviewArea* previewArea_ = nullptr;
  QSlider* slider_ = nullptr;
  LoadMeter* loadMeter_ = nullptr;
  QMenu* menu_ = nullptr;
  StallMonitor* stalls_ = nullptr;
  QTimer driverTimer_;
  QString manualFolder_;

  // The preview: its own render-only graph, opened on the worker, run from here.
  std::unique_ptr<CPreviewGraph> preview_;
  bool previewOpen_ = false;
  PreviewMode previewMode_ = PreviewMode::Paused;
  bool reattach_ = false;
  std::map<std::string, FileFacts> facts_;  // render-only looks at files, by path
  bool closing_ = false;

  // Declared last: destroyed first, so no job outlives what it uses.
  std::unique_ptr<DriverWorker> worker_;
};

}  // namespace recast::ui
