// The window over real conversions: adding files, the enabling of its commands as the driver
// moves through its states, converting, stopping, failing files, the output kind, Help and
// closing while a file converts.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QLineEdit>
#include <QRadioButton>

#include "ControlIds.h"
#include "DriverTexts.h"
#include "FfdshowSettings.h"
#include "MediaProbe.h"
#include "WindowHarness.h"

namespace recast::ui::test {
namespace {

using namespace ids;
namespace fs = std::filesystem;

constexpr std::array kListButtons{kAddFile, kAddFolder, kDeleteFile, kFileUp, kFileDown, kVideoSet,
                                  kAudioSet, kStart, kStop, kClear};

class MainWindowTest : public WindowTest {};

// What ffprobe finds in each stream of `path`, one line per stream:
// "codec,sample rate,channels,packets" (video streams have no rate or channels).
QStringList FfprobeStreams(const std::string& path) {
  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-count_packets", "-show_entries",
                          "stream=codec_name,sample_rate,channels,nb_read_packets", "-of", "csv=p=0",
                          QString::fromStdString(path)});
  if (!probe.waitForFinished(60'000) || probe.exitCode() != 0) return {};
  return QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST_F(MainWindowTest, AddFileAndFolderFillRowsWithOutputNames) {
  const std::string first = Write("a/ch01.mp4");
  AddFile(first);
  ASSERT_EQ(1, Window().Model().rowCount());
  EXPECT_EQ("ch01.mp4", Cell(0, kColumnSource));
  EXPECT_EQ("ch01.mp4_OUTPUT.WMV", Cell(0, kColumnOutput));
  EXPECT_EQ(QString::number(fs::file_size(first) >> 10), Cell(0, kColumnStatus));
  EXPECT_EQ("Convert To WMV", Cell(0, kColumnKind));
  EXPECT_EQ(0, Window().Model().Icon(0));

  // A second file of the same name from another folder gets a numbered output name; the
  // folder's files come .264 first, then .mp4.
  Write("b/ch01.mp4");
  Write("b/cam.264");
  WriteJunk("b/notes.txt");
  AddFolder((Dir() / "b").string());
  ASSERT_EQ(3, Window().Model().rowCount());
  EXPECT_EQ("cam.264", Cell(1, kColumnSource));
  EXPECT_EQ("ch01.mp4_1_OUTPUT.WMV", Cell(2, kColumnOutput));

  // The same file twice, a wrong ending, a folder without recordings: refused with a message.
  AddFile(first);
  AddFile((Dir() / "b/notes.txt").string());
  fs::create_directories(Dir() / "empty");
  AddFolder((Dir() / "empty").string());
  ASSERT_EQ(3u, shown_.size());
  EXPECT_EQ(texts::kFileLoaded, shown_[0].text);
  EXPECT_EQ(texts::kFormatError, shown_[1].text);
  EXPECT_EQ(texts::kFormatError, shown_[2].text);
  EXPECT_EQ(3, Window().Model().rowCount());

  // Dropped files and folders are added the same way.
  Write("c/drop.mp4");
  Window().AddPaths({QString::fromStdString((Dir() / "c").string())});
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(4, Window().Model().rowCount());
  EXPECT_EQ("drop.mp4", Cell(3, kColumnSource));
}

TEST_F(MainWindowTest, CommandsFollowTheStateAsAListIsBuiltAndConverted) {
  // Idle, nothing listed.
  for (int id : {kDeleteFile, kStart, kStop, kClear, kVideoSet, kAudioSet, kPreviewPlay})
    EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(kAddFile));
  EXPECT_TRUE(Enabled(kWmvRadio));
  EXPECT_FALSE(Enabled(kSourcePath));

  // One file: Video set and Audio set, play; no moving.
  AddFile(Write("one.mp4"));
  ASSERT_EQ(ConvertState::Loaded, Window().Snapshot().state);
  for (int id : {kAddFile, kDeleteFile, kStart, kClear, kVideoSet, kAudioSet, kPreviewPlay})
    EXPECT_TRUE(Enabled(id)) << id;
  for (int id : {kStop, kFileUp, kFileDown, kPreviewPause, kPreviewStep, kPreviewStop})
    EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(MenuEnabled(kMenuVideoSet));

  // Two files: the settings only through the combo box; moving by position.
  AddFile(Write("two.mp4", 352, 288, 150));
  EXPECT_FALSE(Enabled(kVideoSet));
  EXPECT_FALSE(MenuEnabled(kMenuAudioSet));
  EXPECT_TRUE(Enabled(kFileUp));    // the new row is current, and last
  EXPECT_FALSE(Enabled(kFileDown));
  Window().OnRowClicked(0);
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(Enabled(kFileUp));
  EXPECT_TRUE(Enabled(kFileDown));

  // Converting: Stop and the path fields; the menu keeps only File Info.
  Click(kStart);
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ConvertState::Converting, Window().Snapshot().state);
  ASSERT_TRUE(WaitState(ConvertState::Converting));
  for (int id : kListButtons) EXPECT_EQ(id == kStop, Enabled(id)) << id;
  for (int id : {kWmvRadio, kAviRadio, kWmvPicture, kRateCombo, kPreviewPlay}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(kSourcePath));
  EXPECT_TRUE(Enabled(kInfoTabs));
  EXPECT_TRUE(MenuEnabled(kMenuFileInfo));
  EXPECT_FALSE(MenuEnabled(kMenuStart));
  EXPECT_FALSE(MenuEnabled(kMenuAddFile));

  // Finished after the last row.
  ASSERT_TRUE(WaitState(ConvertState::Finished));
  for (int id : {kAddFolder, kDeleteFile, kClear, kWmvRadio, kRateCombo, kPreviewPlay})
    EXPECT_TRUE(Enabled(id)) << id;
  for (int id : {kVideoSet, kAudioSet, kStart, kStop, kFileDown, kSourcePath}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(MenuEnabled(kMenuAddFile));
  EXPECT_TRUE(MenuEnabled(kMenuFileInfo));
  EXPECT_FALSE(MenuEnabled(kMenuDelete));
  EXPECT_FALSE(MenuEnabled(kMenuPreview));
}

TEST_F(MainWindowTest, StartConvertsToAPlayableWmvWithRisingProgress) {
  const std::string source = Write("conv.mp4", 352, 288, 250);
  AddFile(source);
  std::vector<int> readings;
  QObject::connect(&Window().Model(), &QAbstractItemModel::dataChanged, &Window(), [&] {
    bool number = false;
    const int value = Cell(0, kColumnProgress).toInt(&number);
    if (number && (readings.empty() || readings.back() != value)) readings.push_back(value);
  });
  StartFrom(0);
  ASSERT_TRUE(WaitState(ConvertState::Finished));
  EXPECT_EQ(QString::fromUtf8(texts::kConvertSuccess.data()), Cell(0, kColumnStatus));
  EXPECT_EQ(3, Window().Model().Icon(0));
  ASSERT_FALSE(readings.empty());
  EXPECT_TRUE(std::is_sorted(readings.begin(), readings.end()));
  EXPECT_EQ(100, readings.back());
  EXPECT_EQ(QString::fromStdString(source), Window().findChild<QLineEdit*>("1134")->text());

  const MediaSummary media = ProbeMedia(source + "_OUTPUT.WMV");
  ASSERT_TRUE(media.opened);
  EXPECT_EQ("asf", media.format);
  EXPECT_EQ(352, media.width);
  EXPECT_EQ(288, media.height);
  EXPECT_GT(media.videoFrames, 200);
  EXPECT_FALSE(media.audioCodec.empty());
}

TEST_F(MainWindowTest, StopMarksHandStopAndStartResumesWithThatRow) {
  AddFile(Write("long.mp4", 704, 576, 1500));
  AddFile(Write("next.mp4"));
  StartFrom(0);
  ASSERT_TRUE(WaitState(ConvertState::Converting));
  ASSERT_TRUE(WaitFor([&] { return Cell(0, kColumnStatus) == "Converting"; }));
  EXPECT_EQ(QColor(128, 255, 0), Window().Model().Colour(0, kColumnSource));
  // While converting only the converting row has a context menu.
  Window().OnRowRightClicked(1, Window().mapToGlobal(QPoint(20, 20)));
  EXPECT_FALSE(Window().ContextMenu()->isVisible());
  Window().OnRowRightClicked(0, Window().mapToGlobal(QPoint(20, 20)));
  EXPECT_TRUE(Window().ContextMenu()->isVisible());
  Window().ContextMenu()->hide();
  Click(kStop);
  ASSERT_TRUE(WaitState(ConvertState::Stopped));
  EXPECT_EQ("Hand Stop", Cell(0, kColumnStatus));
  EXPECT_EQ(4, Window().Model().Icon(0));
  EXPECT_EQ(QColor(157, 206, 255), Window().Model().Colour(0, kColumnStatus));
  EXPECT_EQ(std::nullopt, Window().Model().Colour(0, kColumnSource));
  EXPECT_TRUE(Enabled(kStart));
  EXPECT_FALSE(Enabled(kStop));
  EXPECT_EQ(1, Window().Snapshot().context.currentPosition);
  EXPECT_LT(Window().LongestDriverCallMs(), 60'000);
}

TEST_F(MainWindowTest, AFileThatCannotBePreparedFailsAndTheWalkGoesOn) {
  AddFile(WriteJunk("bad.mp4"));
  AddFile(Write("good.mp4"));
  StartFrom(0);
  ASSERT_TRUE(WaitState(ConvertState::Finished));
  EXPECT_EQ(QString::fromUtf8(texts::kCreateFailed.data()), Cell(0, kColumnStatus));
  EXPECT_EQ(QString::fromUtf8(texts::kConvertSuccess.data()), Cell(1, kColumnStatus));
  EXPECT_TRUE(ProbeMedia((Dir() / "good.mp4_OUTPUT.WMV").string()).opened);
}

TEST_F(MainWindowTest, OutputKindClearsTheListAndNamesNewRows) {
  AddFile(Write("k.mp4"));
  Click(kAviPicture);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(0, Window().Model().rowCount());
  EXPECT_TRUE(Window().findChild<QRadioButton*>("1078")->isChecked());
  EXPECT_FALSE(Window().findChild<QRadioButton*>("1077")->isChecked());
  EXPECT_TRUE(Window().findChild<QWidget*>("1097")->isHidden());
  AddFile(Write("k2.mp4"));
  EXPECT_EQ("k2.mp4_OUTPUT.AVI", Cell(0, kColumnOutput));
  EXPECT_EQ("Convert To AVI", Cell(0, kColumnKind));

  StartFrom(0);
  ASSERT_TRUE(WaitState(ConvertState::Finished));
  const MediaSummary media = ProbeMedia((Dir() / "k2.mp4_OUTPUT.AVI").string());
  ASSERT_TRUE(media.opened);
  EXPECT_EQ("avi", media.format);
}

// The copying kind: no encoder settings and no rate mode, and a conversion that goes the way the
// batch's `--to mp4` goes: every recorded H.264 frame into NAME_OUTPUT.MP4, the sound as AAC.
TEST_F(MainWindowTest, Mp4KindHasNoEncoderSettingsAndCopiesEveryFrame) {
  AddFile(Write("before.mp4"));
  Click(kMp4Picture);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(0, Window().Model().rowCount());
  EXPECT_TRUE(Window().findChild<QRadioButton*>("1079")->isChecked());
  EXPECT_FALSE(Window().findChild<QRadioButton*>("1077")->isChecked());
  EXPECT_FALSE(Window().findChild<QRadioButton*>("1078")->isChecked());
  EXPECT_TRUE(Window().findChild<QWidget*>("1097")->isHidden());

  const int frames = 125;
  const std::string source = Write("ch01.mp4", 352, 288, frames);
  AddFile(source);
  EXPECT_EQ("ch01.mp4_OUTPUT.MP4", Cell(0, kColumnOutput));
  EXPECT_EQ("Convert To MP4", Cell(0, kColumnKind));
  ASSERT_EQ(ConvertState::Loaded, Window().Snapshot().state);
  for (int id : {kVideoSet, kAudioSet, kRateCombo}) EXPECT_FALSE(Enabled(id)) << id;
  for (int id : {kStart, kPreviewPlay, kWmvRadio, kAviPicture, kMp4Radio}) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_FALSE(MenuEnabled(kMenuVideoSet));
  EXPECT_FALSE(MenuEnabled(kMenuAudioSet));
  // Called all the same (a shortcut, a stale menu), Video set shows nothing.
  Window().OnVideoSet();
  Window().OnAudioSet();
  EXPECT_FALSE(Window().Busy());
  EXPECT_EQ(nullptr, QApplication::activeModalWidget());

  StartFrom(0);
  ASSERT_TRUE(WaitState(ConvertState::Converting));
  for (int id : {kMp4Radio, kMp4Picture}) EXPECT_FALSE(Enabled(id)) << id;
  ASSERT_TRUE(WaitState(ConvertState::Finished));
  EXPECT_EQ(QString::fromUtf8(texts::kConvertSuccess.data()), Cell(0, kColumnStatus));
  EXPECT_FALSE(Enabled(kVideoSet));
  const std::string output = source + "_OUTPUT.MP4";
  EXPECT_FALSE(fs::exists(source + "_OUTPUT.WMV"));
  const QStringList streams = FfprobeStreams(output);
  ASSERT_EQ(2, streams.size()) << output;
  EXPECT_EQ(QString("h264,%1").arg(frames), streams[0]);
  EXPECT_TRUE(streams[1].startsWith("aac,16000,1,")) << streams[1].toStdString();
  EXPECT_EQ("mov,mp4,m4a,3gp,3g2,mj2", ProbeMedia(output).format);

  // Back to WMV: the rate mode returns with it.
  Click(kWmvRadio);
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(Window().findChild<QWidget*>("1097")->isHidden());
  AddFile(Write("after.mp4"));
  EXPECT_TRUE(Enabled(kVideoSet));
}

TEST_F(MainWindowTest, HelpOpensTheManualBesideTheProgramOrSaysItIsMissing) {
  Window().SetManualFolder(QString::fromStdString(Dir().string()));
  Click(kHelp);
  ASSERT_EQ(1u, shown_.size());
  EXPECT_NE(std::string::npos, shown_[0].text.find(kManualName));
  EXPECT_TRUE(opened_.empty());

  QFile manual(QString::fromStdString((Dir() / kManualName).string()));
  ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
  manual.write("<html></html>");
  manual.close();
  Click(kHelp);
  ASSERT_EQ(1u, opened_.size());
  EXPECT_EQ(QUrl::fromLocalFile(manual.fileName()), opened_[0]);
}

TEST_F(MainWindowTest, ClosingWhileConvertingAsksOnceAndLeavesAPlayableFile) {
  const std::string source = Write("close.mp4", 704, 576, 1500);
  AddFile(source);
  StartFrom(0);
  ASSERT_TRUE(WaitFor([&] { return Cell(0, kColumnProgress).toInt() >= 1; }));
  Window().close();
  EXPECT_EQ(1, closeQuestions_);
  const MediaSummary media = ProbeMedia(source + "_OUTPUT.WMV");
  ASSERT_TRUE(media.opened);
  EXPECT_GT(media.videoFrames, 0);
}

}  // namespace
}  // namespace recast::ui::test

namespace recast::ui::test {
namespace {

// Answers the next modal dialog of that name once it shows: `fill` edits it, then OK.
void AnswerDialog(const QString& name, std::function<void(QDialog&)> fill) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, name, fill] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != name) return;
    timer->stop();
    timer->deleteLater();
    fill(*dialog);
    dialog->findChild<QPushButton*>("IDOK")->click();
  });
  timer->start();
}

class DialogsTest : public WindowTest {};

TEST_F(DialogsTest, VideoSetEditsTheParametersTheNextJobUses) {
  const std::string source = Write("vs.mp4", 352, 288, 50);
  AddFile(source);
  Window().OnRowClicked(0);
  ASSERT_TRUE(WaitIdle());
  bool shown = false;
  AnswerDialog("VideoSet", [&](QDialog& dialog) {
    shown = true;
    // Prepared from the file: its size and estimated bit rate, CBR, WMV 9 only.
    EXPECT_EQ("352", dialog.findChild<QLineEdit*>("1022")->text());
    EXPECT_FALSE(dialog.findChild<QLineEdit*>("1050")->isEnabled());
    EXPECT_FALSE(dialog.findChild<QRadioButton*>("1021")->isEnabled());
    dialog.findChild<QCheckBox*>("1030")->click();
    auto* presets = dialog.findChild<QComboBox*>("1039");
    presets->setCurrentIndex(1);
    emit presets->activated(1);  // ".QCIF"
    dialog.findChild<QLineEdit*>("1051")->setText("300");
    emit dialog.findChild<QLineEdit*>("1051")->textEdited("300");
  });
  Click(ids::kVideoSet);
  ASSERT_TRUE(WaitFor([&] { return shown && !Window().Busy() && Window().Snapshot().settings.width == 176; }));
  EXPECT_EQ(144, Window().Snapshot().settings.height);
  EXPECT_EQ(300u, Window().Snapshot().settings.bitRateKbps);

  Click(ids::kStart);
  ASSERT_TRUE(WaitState(ConvertState::Finished));
  const MediaSummary media = ProbeMedia(source + "_OUTPUT.WMV");
  ASSERT_TRUE(media.opened);
  EXPECT_EQ(176, media.width);
  EXPECT_EQ(144, media.height);
}

TEST_F(DialogsTest, AviVideoAndAudioSetStoreTheEncoderSettings) {
  Click(ids::kAviRadio);
  ASSERT_TRUE(WaitIdle());
  AddFile(Write("avi.mp4", 352, 288, 50));
  Window().OnRowClicked(0);
  ASSERT_TRUE(WaitIdle());
  AnswerDialog("VideoEncoderPage", [](QDialog& dialog) {
    dialog.findChild<QSpinBox*>(kBitRateValue)->setValue(1234);
    dialog.findChild<QSpinBox*>(kKeyIntervalValue)->setValue(50);
  });
  Click(ids::kVideoSet);
  ASSERT_TRUE(WaitFor([] { return VideoEncoderSettings::Load().bitRateKbps == 1234; }));
  EXPECT_EQ(50u, VideoEncoderSettings::Load().keyInterval);

  AnswerDialog("AudioProcessorPage", [](QDialog& dialog) {
    dialog.findChild<QSpinBox*>(kResampleRateValue)->setValue(22050);
  });
  Click(ids::kAudioSet);
  ASSERT_TRUE(WaitFor([] { return AudioProcessorSettings::Load().resampleRate == 22050; }));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(shown_.empty());
}

TEST_F(DialogsTest, VideoSetWithNoFileSaysSoAndAboutShowsTheVersion) {
  Window().OnVideoSet();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(1u, shown_.size());
  EXPECT_EQ(texts::kNoFileAdded, shown_[0].text);

  bool shown = false;
  AnswerDialog("About Recast", [&](QDialog& dialog) {
    shown = true;
    EXPECT_EQ("About Recast", dialog.windowTitle());
    EXPECT_EQ("Recast 2.0 ", dialog.findChild<QLabel*>("version")->text());
    EXPECT_FALSE(dialog.findChild<QLabel*>("icon")->pixmap().isNull());
  });
  Click(ids::kAbout);
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace recast::ui::test
