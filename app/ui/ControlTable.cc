#include "ControlTable.h"

#include <QFontMetrics>
#include <QStringList>
#include <array>

#include "ControlIds.h"

namespace recast::ui {
namespace {

using namespace ids;
using K = ControlKind;

constexpr int kWindowFontPoints = 8;

const std::array<ControlEntry, 30> kControls{{
    {kAddFile, K::Button, {362, 34, 16, 16}, "Add file", ":/icons/add-file.svg"},
    {kDeleteFile, K::Button, {362, 62, 16, 16}, "Delete file", ":/icons/delete-file.svg"},
    {kAddFolder, K::Button, {362, 90, 16, 16}, "Add folder", ":/icons/add-folder.svg"},
    {kFileUp, K::Button, {362, 118, 16, 16}, "File upward", ":/icons/up.svg"},
    {kFileDown, K::Button, {362, 146, 16, 16}, "File downward", ":/icons/down.svg"},
    {kFileList, K::List, {7, 31, 352, 283}, "Filelist", nullptr},
    {kVideoSet, K::BigButton, {9, 322, 32, 32}, "Video set", ":/icons/video-set.svg"},
    {kAudioSet, K::BigButton, {54, 322, 32, 32}, "Audio set", ":/icons/audio-set.svg"},
    {kStart, K::BigButton, {99, 322, 32, 32}, "Start convert", ":/icons/start.svg"},
    {kStop, K::BigButton, {144, 322, 32, 32}, "Stop convert", ":/icons/stop.svg"},
    {kClear, K::BigButton, {189, 322, 32, 32}, "Clear filelist", ":/icons/clear.svg"},
    {kHelp, K::BigButton, {234, 322, 32, 32}, "Help file", ":/icons/help.svg"},
    {kAbout, K::BigButton, {279, 322, 32, 32}, "About", ":/icons/about.svg"},
    {kWmvRadio, K::Radio, {7, 9, 11, 16}, "Convert to WMV", nullptr},
    {kWmvPicture, K::Picture, {19, 5, 22, 20}, "Convert to WMV", ":/icons/wmv.svg"},
    {kAviRadio, K::Radio, {62, 9, 8, 14}, "Convert to AVI", nullptr},
    {kAviPicture, K::Picture, {73, 5, 24, 20}, "Convert to AVI", ":/icons/avi.svg"},
    {kRateCombo, K::Combo, {132, 7, 66, 50}, nullptr, nullptr},
    // The copying kind sits after the rate mode, which only WMV has.
    {kMp4Radio, K::Radio, {206, 9, 11, 16}, kMp4KindTooltip, nullptr},
    {kMp4Picture, K::Picture, {218, 5, 24, 20}, kMp4KindTooltip, ":/icons/mp4.svg"},
    {kInfoTabs, K::Tabs, {384, 32, 139, 219}, "File info", nullptr},
    {kPreviewArea, K::PreviewArea, {384, 258, 139, 105}, "Preview window", nullptr},
    {kPreviewPlay, K::Button, {394, 385, 16, 16}, "Preview play", ":/icons/play.svg"},
    {kPreviewPause, K::Button, {417, 385, 16, 16}, "Preview pause", ":/icons/pause.svg"},
    {kPreviewStop, K::Button, {442, 385, 16, 16}, "Preview stop", ":/icons/preview-stop.svg"},
    {kPreviewStep, K::Button, {466, 385, 16, 16}, "Preview step", ":/icons/step.svg"},
    {kLoadMeter, K::LoadMeter, {365, 365, 158, 11}, nullptr, nullptr},
    {kSourcePath, K::PathEdit, {93, 375, 262, 12}, nullptr, nullptr},
    {kOutputPath, K::PathEdit, {93, 392, 261, 14}, nullptr, nullptr},
    // The position slider sits between the load meter and the preview buttons.
    {kPreviewSlider, K::Slider, {384, 377, 139, 8}, "Preview position", nullptr},
}};

}  // namespace

std::span<const ControlEntry> MainControls() { return kControls; }

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  baseX_ = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  baseY_ = metrics.height();
}

QRect DialogUnits::Rect(const QRect& units) const {
  return QRect(X(units.x()), Y(units.y()), X(units.width()), Y(units.height()));
}

QFont WindowFont() {
  QFont font;
  font.setFamilies(QStringList() << "Tahoma" << "DejaVu Sans" << "Liberation Sans");
  font.setPointSize(kWindowFontPoints);
  return font;
}

}  // namespace recast::ui
