#include "MainWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <tuple>

#include "ControlIds.h"
#include "ControlTable.h"
#include "FileListView.h"
#include "InfoPages.h"
#include "LoadMeter.h"
#include "PreviewArea.h"
#include "StallMonitor.h"
#include "UiStyle.h"

// The icons are compiled into this static library; its resources must be registered by hand.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace recast::ui {
namespace {

// The group box around the two path fields and their labels, in dialog units.
const QRect kPathGroup(7, 362, 352, 50);
const QRect kSourceLabel(12, 376, 80, 10);
const QRect kOutputLabel(12, 393, 80, 10);
const QRect kRateLabel(104, 9, 27, 10);
// Completes the MP4 picture's caption: "MP4 (no re-encoding)".
const QRect kMp4Label(244, 9, 70, 10);

struct MenuEntry {
  const char* text;
  int id;  // 0: a separator
};

constexpr std::array<MenuEntry, 13> kMenu{{
    {"Add File", ids::kMenuAddFile},
    {"Add Folder", ids::kMenuAddFolder},
    {"Delete File", ids::kMenuDelete},
    {"Clear Files", ids::kMenuClear},
    {"File Upward", ids::kMenuUp},
    {"File Downward", ids::kMenuDown},
    {nullptr, 0},
    {"Video Set", ids::kMenuVideoSet},
    {"Audio Set", ids::kMenuAudioSet},
    {nullptr, 0},
    {"Start Convert", ids::kMenuStart},
    {"File Info", ids::kMenuFileInfo},
    {"Preview", ids::kMenuPreview},
}};

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(FactoryMaker makeFactory, QWidget* parent)
    : QWidget(parent), deferred_(*this) {
  InitIconResources();
  const MessageSink messages = [this](std::string_view text, std::string_view caption) {
    deferred_.ShowMessage(text, caption);
  };
  const PropertyFrameFn frame = [this](IUnknown* object, std::u16string_view caption,
                                       const CAUUID& pages) {
    return ShowPropertyFrame(object, caption, pages);
  };
  driver_ = std::make_unique<CConvertDriver>(deferred_, makeFactory(messages, frame));
  preview_ = std::make_unique<CPreviewGraph>(messages);
  worker_ = std::make_unique<DriverWorker>();
  manualFolder_ = QCoreApplication::applicationDirPath();

  setWindowTitle("Recast 2.0");
  setWindowIcon(QIcon(":/icons/recast.svg"));
  setFont(WindowFont());
  BuildControls();
  BuildMenu();
  stalls_ = new StallMonitor(this);
  fileInfo_ = new FileInfoDialog(this);

  connect(&driverTimer_, &QTimer::timeout, this, &MainWindow::OnDriverTimer);
  RestartDriverTimer();
  ShowOutputKind(OutputKind::Wmv);
  RefreshControls({});
}

MainWindow::~MainWindow() {
  driverTimer_.stop();
  ClosePreview();
  worker_.reset();  // finishes what was posted
  deferred_.Flush();
}

QWidget* MainWindow::MakeControl(const ControlEntry& entry) {
  switch (entry.kind) {
    case ControlKind::Button:
    case ControlKind::BigButton:
    case ControlKind::Picture: {
      auto* button = new QToolButton(this);
      button->setIcon(QIcon(entry.icon));
      button->setAutoRaise(entry.kind == ControlKind::Picture);
      return button;
    }
    case ControlKind::List: return list_ = new FileListView(this);
    case ControlKind::Radio: return new QRadioButton(this);
    case ControlKind::Combo: return rateCombo_ = new QComboBox(this);
    case ControlKind::Tabs: return pages_ = new InfoPages(this);
    case ControlKind::PreviewArea: return previewArea_ = new PreviewArea(this);
    case ControlKind::LoadMeter: return loadMeter_ = new LoadMeter(this);
    case ControlKind::PathEdit: {
      auto* edit = new QLineEdit(this);
      edit->setReadOnly(true);
      return edit;
    }
    case ControlKind::Slider: {
      auto* slider = new QSlider(Qt::Horizontal, this);
      slider->setRange(0, kSliderRange);
      return slider_ = slider;
    }
  }
  return nullptr;
}

void MainWindow::BuildControls() {
  const DialogUnits units(font());
  setFixedSize(units.X(kWindowWidthDlu), units.Y(kWindowHeightDlu));

  auto* group = new QGroupBox("Convert File Info", this);
  group->setGeometry(units.Rect(kPathGroup));
  SetTextColour(group);
  const auto addLabel = [&](const QRect& rect, const char* text) {
    auto* label = new QLabel(text, this);
    label->setGeometry(units.Rect(rect));
    SetTextColour(label);
    return label;
  };
  addLabel(kSourceLabel, "Source File Path     :");
  addLabel(kOutputLabel, "Destination File Path:");
  rateLabel_ = addLabel(kRateLabel, "Rate:");
  mp4Label_ = addLabel(kMp4Label, "(no re-encoding)");
  mp4Label_->setToolTip(kMp4KindTooltip);

  for (const ControlEntry& entry : MainControls()) {
    QWidget* widget = MakeControl(entry);
    QRect rect = units.Rect(entry.dialogUnits);
    // A drop-down's height in the table includes its open list.
    if (entry.kind == ControlKind::Combo) rect.setHeight(widget->sizeHint().height());
    widget->setGeometry(rect);
    widget->setObjectName(QString::number(entry.id));
    if (entry.tooltip) widget->setToolTip(entry.tooltip);
    if (auto* button = qobject_cast<QToolButton*>(widget))
      button->setIconSize(rect.size() - QSize(4, 4));
    controls_[entry.id] = widget;
  }
  wmvRadio_ = static_cast<QRadioButton*>(Control(ids::kWmvRadio));
  aviRadio_ = static_cast<QRadioButton*>(Control(ids::kAviRadio));
  mp4Radio_ = static_cast<QRadioButton*>(Control(ids::kMp4Radio));
  sourcePath_ = static_cast<QLineEdit*>(Control(ids::kSourcePath));
  outputPath_ = static_cast<QLineEdit*>(Control(ids::kOutputPath));
  rateCombo_->addItems({"CBR", "VBR"});
  list_->setModel(&model_);
  list_->FitColumns();
  SizePreviewArea();

  const std::pair<int, void (MainWindow::*)()> commands[] = {
      {ids::kAddFile, &MainWindow::OnAddFile},   {ids::kDeleteFile, &MainWindow::OnDelete},
      {ids::kAddFolder, &MainWindow::OnAddFolder}, {ids::kFileUp, &MainWindow::OnUp},
      {ids::kFileDown, &MainWindow::OnDown},     {ids::kVideoSet, &MainWindow::OnVideoSet},
      {ids::kAudioSet, &MainWindow::OnAudioSet}, {ids::kStart, &MainWindow::OnStart},
      {ids::kStop, &MainWindow::OnStop},         {ids::kClear, &MainWindow::OnClear},
      {ids::kHelp, &MainWindow::OnHelp},         {ids::kAbout, &MainWindow::OnAbout},
      {ids::kPreviewPlay, &MainWindow::PreviewPlay}, {ids::kPreviewPause, &MainWindow::PreviewPause},
      {ids::kPreviewStop, &MainWindow::PreviewStop}, {ids::kPreviewStep, &MainWindow::PreviewStep}};
  for (const auto& [id, command] : commands)
    connect(static_cast<QToolButton*>(Control(id)), &QToolButton::clicked, this, command);
  // Each kind has a radio and a picture button that both choose it.
  const std::tuple<int, int, OutputKind> kinds[] = {
      {ids::kWmvRadio, ids::kWmvPicture, OutputKind::Wmv},
      {ids::kAviRadio, ids::kAviPicture, OutputKind::Avi},
      {ids::kMp4Radio, ids::kMp4Picture, OutputKind::Mp4}};
  for (const auto& [radio, picture, kind] : kinds) {
    connect(static_cast<QRadioButton*>(Control(radio)), &QRadioButton::clicked, this,
            [this, kind] { OnOutputKind(kind); });
    connect(static_cast<QToolButton*>(Control(picture)), &QToolButton::clicked, this,
            [this, kind] { OnOutputKind(kind); });
  }
  connect(rateCombo_, &QComboBox::activated, this, &MainWindow::OnRateMode);
  connect(list_, &FileListView::RowClicked, this, &MainWindow::OnRowClicked);
  connect(list_, &FileListView::RowRightClicked, this, &MainWindow::OnRowRightClicked);
  connect(list_, &FileListView::PathsDropped, this, &MainWindow::AddPaths);
  connect(pages_, &QTabWidget::currentChanged, this, [this] { RefreshInfoPages(); });
}

void MainWindow::BuildMenu() {
  menu_ = new QMenu("Convert Control", this);
  menu_->setObjectName("Convert Control");
  const std::map<int, void (MainWindow::*)()> commands{
      {ids::kMenuAddFile, &MainWindow::OnAddFile},   {ids::kMenuAddFolder, &MainWindow::OnAddFolder},
      {ids::kMenuDelete, &MainWindow::OnDelete},     {ids::kMenuClear, &MainWindow::OnClear},
      {ids::kMenuUp, &MainWindow::OnUp},             {ids::kMenuDown, &MainWindow::OnDown},
      {ids::kMenuVideoSet, &MainWindow::OnVideoSet}, {ids::kMenuAudioSet, &MainWindow::OnAudioSet},
      {ids::kMenuStart, &MainWindow::OnStart},       {ids::kMenuFileInfo, &MainWindow::OnFileInfo},
      {ids::kMenuPreview, &MainWindow::PreviewPlay}};
  for (const MenuEntry& entry : kMenu) {
    if (!entry.text) {
      menu_->addSeparator();
      continue;
    }
    QAction* action = menu_->addAction(entry.text);
    action->setObjectName(QString::number(entry.id));
    connect(action, &QAction::triggered, this, commands.at(entry.id));
    menuItems_[entry.id] = action;
  }
}

QWidget* MainWindow::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void MainWindow::ApplyEnabling() {
  const Enabling enabling = ComputeEnabling(
      {.context = lastContext_, .kind = snapshot_.kind, .previewOpen = previewOpen_,
       .previewMode = previewMode_});
  for (const auto& [id, enabled] : enabling.controls)
    if (QWidget* widget = Control(id)) widget->setEnabled(enabled);
  // The caption greys out with the kind it completes.
  mp4Label_->setEnabled(mp4Radio_->isEnabled());
  UpdateMenu();
}

void MainWindow::UpdateMenu() {
  const Enabling enabling = ComputeEnabling(
      {.context = lastContext_, .kind = snapshot_.kind, .previewOpen = previewOpen_,
       .previewMode = previewMode_});
  for (const auto& [id, action] : menuItems_) {
    const auto fixed = enabling.menu.find(id);
    const QWidget* button = Control(ButtonOfMenuItem(id));
    action->setEnabled(fixed != enabling.menu.end() ? fixed->second : button && button->isEnabled());
  }
}

void MainWindow::Message(const QString& text, const QString& caption) {
  if (hooks_.message) {
    hooks_.message(text, caption);
    return;
  }
  QMessageBox::information(this, caption, text, QMessageBox::Ok);
}

void MainWindow::RestartDriverTimer() { driverTimer_.start(kDriverTimerPeriodMs); }

// The radios always show the current output kind; the rate combo and its caption only belong
// to WMV.
void MainWindow::ShowOutputKind(OutputKind kind) {
  wmvRadio_->setChecked(kind == OutputKind::Wmv);
  aviRadio_->setChecked(kind == OutputKind::Avi);
  mp4Radio_->setChecked(kind == OutputKind::Mp4);
  rateCombo_->setVisible(kind == OutputKind::Wmv);
  rateLabel_->setVisible(kind == OutputKind::Wmv);
}

// ---- IDriverView ------------------------------------------------------------------------

void MainWindow::InsertRow(int row) { model_.InsertRow(row); }
void MainWindow::DeleteRow(int row) { model_.DeleteRow(row); }
void MainWindow::DeleteAllRows() { model_.DeleteAllRows(); }

void MainWindow::SetCellText(int row, int column, std::string_view text) {
  model_.SetText(row, column, Text(text));
}

void MainWindow::SetIcon(int row, int icon) { model_.SetIcon(row, icon); }

void MainWindow::SetCellColour(int row, int column, CellColour background) {
  model_.SetColour(row, column,
                   background ? std::optional(QColor(background->red, background->green, background->blue))
                              : std::nullopt);
}

void MainWindow::RedrawRow(int row) { model_.Redraw(row); }
void MainWindow::RedrawList() { list_->viewport()->update(); }

void MainWindow::SelectRow(int row) {
  list_->selectionModel()->select(model_.index(row, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(model_.index(row, 0));
}

void MainWindow::DeselectRow(int row) {
  list_->selectionModel()->select(model_.index(row, 0),
                                  QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void MainWindow::DeselectAll() { list_->clearSelection(); }

void MainWindow::ShowMessage(std::string_view text, std::string_view caption) {
  Message(Text(text), Text(caption));
}

void MainWindow::ShowPaths(std::string_view source, std::string_view output) {
  sourcePath_->setText(Text(source));
  outputPath_->setText(Text(output));
}

void MainWindow::RefreshControls(const ControlContext& context) {
  lastContext_ = context;
  ApplyEnabling();
}

void MainWindow::SetMoveUpEnabled(bool enabled) { Control(ids::kFileUp)->setEnabled(enabled); }

void MainWindow::ResetPreviewSlider() { slider_->setValue(0); }

}  // namespace recast::ui
