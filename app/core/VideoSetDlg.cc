#include "VideoSetDlg.h"

#include <array>
#include <charconv>

#include "DriverTexts.h"

namespace recast {
namespace {

constexpr std::string_view kAviNoRateDialog = "AVI format,no this para!";
constexpr std::string_view kAviNoRatePage = "AVI ,no this para!";
// A copy keeps the recorded video as it is: it has no bit rate or quality of its own.
constexpr std::string_view kCopyNoRateDialog = "Video copied, no re-encoding";
constexpr std::string_view kCopyNoRatePage = "Copied, no re-encoding";
constexpr std::string_view kToAvi = "To AVI";
constexpr std::string_view kToWmv = "To WMV";
constexpr std::string_view kToMp4 = "To MP4";
constexpr std::string_view kToMkv = "To MKV";

constexpr std::array<SizePreset, 5> kPresets{{
    {".QCIF", 176, 144, 120},
    {".CIF", 352, 288, 240},
    {".DCIF", 528, 384, 320},
    {".2CIF", 704, 288, 240},
    {".4CIF", 704, 576, 480},
}};

template <typename T>
void ParseInto(const std::string& text, T& field) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size() && !text.empty()) field = value;
}

}  // namespace

std::span<const SizePreset> SizePresets() { return kPresets; }

std::optional<SizePreset> FindSizePreset(std::string_view name) {
  for (const SizePreset& preset : kPresets)
    if (preset.name == name) return preset;
  return std::nullopt;
}

std::optional<size_t> PresetComboItem(std::string_view name) {
  for (size_t i = 0; i < kPresets.size(); ++i)
    if (kPresets[i].name == name) return i + 1;
  return std::nullopt;
}

void CVideoSetDlg::OnCreate() {
  ShowSize();
  controls_.quality.text = std::to_string(settings_.quality);
  controls_.bitRate.text = std::to_string(settings_.bitRateKbps);
  controls_.preset.enabled = false;
  settings_.wmv9 = true;
  ShowCodec();
  if (settings_.cbr)
    ShowCbrMode();
  else
    ShowVbrMode();
}

void CVideoSetDlg::ShowDefaults() {
  if (settings_.cbr)
    ShowCbrMode();
  else
    ShowVbrMode();
  ShowSize();
  ShowCodec();
}

void CVideoSetDlg::ShowVbrMode() {
  settings_.cbr = false;
  controls_.quality.enabled = true;
  controls_.bitRate.enabled = false;
  controls_.quality.text = std::to_string(settings_.quality);
  controls_.vbr = {.enabled = true, .checked = true, .text = "VBR"};
  controls_.cbr = {.enabled = !settings_.severalFiles, .checked = false, .text = "CBR"};
}

void CVideoSetDlg::ShowCbrMode() {
  settings_.cbr = true;
  controls_.quality.enabled = false;
  controls_.bitRate.enabled = true;
  controls_.bitRate.text = std::to_string(settings_.bitRateKbps);
  controls_.quality.text = std::to_string(kDefaultQuality);
  controls_.cbr = {.enabled = true, .checked = true, .text = "CBR"};
  controls_.vbr = {.enabled = !settings_.severalFiles, .checked = false, .text = "VBR"};
}

void CVideoSetDlg::SetRateMode(bool cbr, bool severalFiles) {
  settings_.SetRateMode(cbr, severalFiles);
  if (cbr)
    ShowCbrMode();
  else
    ShowVbrMode();
}

void CVideoSetDlg::ClickCbr() {
  if (controls_.cbr.enabled) ShowCbrMode();
}

void CVideoSetDlg::ClickVbr() {
  if (controls_.vbr.enabled) ShowVbrMode();
}

void CVideoSetDlg::ClickWmv8() {
  if (!controls_.wmv8.enabled) return;
  settings_.wmv9 = false;
  controls_.wmv8.checked = true;
  controls_.wmv9.checked = false;
}

void CVideoSetDlg::ChoosePreset(size_t index) {
  if (!controls_.preset.enabled || index == 0 || index > kPresets.size()) return;
  const SizePreset& preset = kPresets[index - 1];
  settings_.width = preset.width;
  settings_.height = settings_.ntsc ? preset.ntscHeight : preset.palHeight;
  controls_.preset.text = preset.name;
  ShowSize();
  ShowCodec();
}

void CVideoSetDlg::Ok() {
  ParseInto(controls_.width.text, settings_.width);
  ParseInto(controls_.height.text, settings_.height);
  ParseInto(controls_.bitRate.text, settings_.bitRateKbps);
  ParseInto(controls_.quality.text, settings_.quality);
}

void CVideoSetDlg::LimitQuality() {
  settings_.quality = std::min(settings_.quality, kMaxQuality);
  controls_.quality.text = std::to_string(settings_.quality);
}

void CVideoSetDlg::ShowSize() {
  controls_.width.text = std::to_string(settings_.width);
  controls_.height.text = std::to_string(settings_.height);
}

void CVideoSetDlg::ShowCodec() {
  controls_.wmv9 = {.enabled = true, .checked = settings_.wmv9, .text = "Windows Media Video 9"};
  controls_.wmv8 = {.enabled = !settings_.wmv9, .checked = !settings_.wmv9,
                    .text = "Windows Media Video 8"};
}

std::string FormatBitRate(uint32_t kbps) { return std::to_string(kbps) + "kbps(CBR)"; }

std::string FormatQuality(uint32_t quality) { return std::to_string(quality) + "(VBR)"; }

std::string FormatSize(int32_t width, int32_t height) {
  return std::to_string(width) + " * " + std::to_string(height);
}

std::string FormatFrameRate(int32_t fps) { return std::to_string(fps) + "fps"; }

std::string FormatRate(OutputKind kind, bool cbr, uint32_t kbps, uint32_t quality, InfoPlace place) {
  const bool dialog = place == InfoPlace::SourceFileInfo;
  if (CopiesVideo(kind)) return std::string(dialog ? kCopyNoRateDialog : kCopyNoRatePage);
  if (kind != OutputKind::Wmv) return std::string(dialog ? kAviNoRateDialog : kAviNoRatePage);
  return cbr ? FormatBitRate(kbps) : FormatQuality(quality);
}

std::string_view FormatOutputKind(OutputKind kind, InfoPlace place) {
  const bool dialog = place == InfoPlace::SourceFileInfo;
  if (kind == OutputKind::Avi) return dialog ? texts::kConvertToAvi : kToAvi;
  if (kind == OutputKind::Mp4) return dialog ? texts::kConvertToMp4 : kToMp4;
  if (kind == OutputKind::Mkv) return dialog ? texts::kConvertToMkv : kToMkv;
  return dialog ? texts::kConvertToWmv : kToWmv;
}

}  // namespace recast
