// The main window's controls: kind, place in dialog units, tooltip and icon, one entry each,
// and the conversion of dialog units to pixels for the window's font.
#pragma once

#include <QFont>
#include <QRect>
#include <span>

namespace recast::ui {

enum class ControlKind { Button, BigButton, List, Radio, Picture, Combo, Tabs, PreviewArea,
                         LoadMeter, PathEdit, Slider };

struct ControlEntry {
  int id;
  ControlKind kind;
  QRect dialogUnits;  // x, y, width, height
  const char* tooltip;
  const char* icon;  // resource path, or null
};

std::span<const ControlEntry> MainControls();

// The copying output kind's name, on its radio, its picture and its caption.
inline constexpr char kMp4KindTooltip[] = "Convert to MP4 (no re-encoding)";

// The window's size in dialog units.
constexpr int kWindowWidthDlu = 524;
constexpr int kWindowHeightDlu = 417;

// Dialog units of a font: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const { return (units * baseX_ + 2) / 4; }
  int Y(int units) const { return (units * baseY_ + 4) / 8; }
  QRect Rect(const QRect& units) const;

 private:
  int baseX_;
  int baseY_;
};

// Tahoma 8, or the closest the system has.
QFont WindowFont();

}  // namespace recast::ui
