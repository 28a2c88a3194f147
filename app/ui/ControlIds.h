// The ids of the main window's controls and of the list's context menu items. Every widget
// carries its id as its object name, so tests and accessibility tools find it by number.
#pragma once

namespace recast::ui::ids {

// Buttons beside the list.
constexpr int kAddFile = 1070;
constexpr int kDeleteFile = 1067;
constexpr int kAddFolder = 1071;
constexpr int kFileUp = 1068;
constexpr int kFileDown = 1069;
constexpr int kFileList = 1082;
// Buttons below the list.
constexpr int kVideoSet = 1055;
constexpr int kAudioSet = 1056;
constexpr int kStart = 1057;
constexpr int kStop = 1058;
constexpr int kClear = 1059;
constexpr int kHelp = 1065;
constexpr int kAbout = 1087;
// Output kind: radios and their picture labels, and the rate mode.
constexpr int kWmvRadio = 1077;
constexpr int kWmvPicture = 1063;
constexpr int kAviRadio = 1078;
constexpr int kAviPicture = 1064;
// The lossless kind: the recorded video is copied into MP4, only the sound is encoded.
constexpr int kMp4Radio = 1079;
constexpr int kMp4Picture = 1066;
constexpr int kRateCombo = 1097;
// Information and preview.
constexpr int kInfoTabs = 1106;
constexpr int kPreviewArea = 1103;
constexpr int kPreviewPlay = 1098;
constexpr int kPreviewPause = 1099;
constexpr int kPreviewStop = 1100;
constexpr int kPreviewStep = 1101;
constexpr int kPreviewSlider = 1102;
constexpr int kLoadMeter = 1129;
constexpr int kSourcePath = 1134;
constexpr int kOutputPath = 1135;

// The context menu "Convert Control".
constexpr int kMenuAddFile = 32781;
constexpr int kMenuAddFolder = 32782;
constexpr int kMenuDelete = 32776;
constexpr int kMenuClear = 32783;
constexpr int kMenuUp = 32777;
constexpr int kMenuDown = 32778;
constexpr int kMenuVideoSet = 32775;
constexpr int kMenuAudioSet = 32774;
constexpr int kMenuStart = 32773;
constexpr int kMenuFileInfo = 32779;
constexpr int kMenuPreview = 32784;

}  // namespace recast::ui::ids
