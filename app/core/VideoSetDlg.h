// CVideoSetDlg: the Video Set dialog as a model. It edits the WMV parameters (VideoSettings,
// owned by the driver) and keeps what each control shows and whether it is enabled; the GUI
// draws these states and forwards clicks and edits here, so the rules live in one place.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ConvertParams.h"

namespace recast {

struct SizePreset {
  std::string_view name;  // as the preset combo lists it
  int32_t width;
  int32_t palHeight;
  int32_t ntscHeight;
};

// The combo's items after its empty first item.
std::span<const SizePreset> SizePresets();
// The preset of that name (".CIF", ".4CIF", ...), or nothing.
std::optional<SizePreset> FindSizePreset(std::string_view name);
// The combo item of that preset (1 for the first, as item 0 is empty), or nothing.
std::optional<size_t> PresetComboItem(std::string_view name);

struct Control {
  bool enabled = true;
  bool checked = false;
  std::string text;
};

struct VideoSetControls {
  Control width, height, bitRate, quality;
  Control cbr, vbr;
  Control wmv9, wmv8;
  Control preset{.enabled = false, .checked = false, .text = {}};
};

class CVideoSetDlg {
 public:
  explicit CVideoSetDlg(VideoSettings& settings) : settings_(settings) {}

  // The dialog appears: the edits show the fields, the presets are off, WMV9 is chosen and
  // WMV8 disabled, the rate radios follow the CBR flag.
  void OnCreate();
  // After ApplyDefaults: the rate mode, the size edits and the codec radios are refreshed.
  void ShowDefaults();
  void ShowVbrMode();
  void ShowCbrMode();
  // The main window's combo box: switches the mode whatever the radios allow.
  void SetRateMode(bool cbr, bool severalFiles);
  void ClickCbr();
  void ClickVbr();
  void ClickWmv8();
  void EnablePresets() { controls_.preset.enabled = true; }
  // Picks item `index` of the preset combo (0 is the empty item, which changes nothing).
  void ChoosePreset(size_t index);
  // OK: the edits' texts become the fields; a text that is not a number leaves its field.
  void Ok();
  // The VBR quality limit, written back to the field and its edit.
  void LimitQuality();

  VideoSetControls& Controls() { return controls_; }
  const VideoSetControls& Controls() const { return controls_; }

 private:
  void ShowSize();
  void ShowCodec();

  VideoSettings& settings_;
  VideoSetControls controls_;
};

// Display formats of the parameters wherever they are shown.
std::string FormatBitRate(uint32_t kbps);     // "858kbps(CBR)"
std::string FormatQuality(uint32_t quality);  // "85(VBR)"
std::string FormatSize(int32_t width, int32_t height);  // "352 * 288"
std::string FormatFrameRate(int32_t fps);     // "25fps"

// Where a parameter is shown: the Source File Info dialog or the information page.
enum class InfoPlace { SourceFileInfo, InfoPage };
// The rate field: the bit rate or quality of a WMV job; AVI jobs and copies have none to show.
std::string FormatRate(OutputKind kind, bool cbr, uint32_t kbps, uint32_t quality, InfoPlace place);
// The output format field.
std::string_view FormatOutputKind(OutputKind kind, InfoPlace place);

}  // namespace recast
