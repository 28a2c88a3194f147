#include "Enabling.h"

#include <initializer_list>

#include "ControlIds.h"

namespace recast::ui {
namespace {

using namespace ids;

constexpr std::initializer_list<int> kOutputKind{kWmvRadio, kAviRadio, kMp4Radio,
                                                 kWmvPicture, kAviPicture, kMp4Picture};
constexpr std::initializer_list<int> kPaths{kSourcePath, kOutputPath};
constexpr std::initializer_list<int> kListCommands{kAddFile, kAddFolder, kDeleteFile, kFileUp,
                                                   kFileDown, kVideoSet, kAudioSet, kStart,
                                                   kStop, kClear};
constexpr std::initializer_list<int> kPreviewButtons{kPreviewPlay, kPreviewPause, kPreviewStop,
                                                     kPreviewStep};
constexpr std::initializer_list<int> kMenuItems{kMenuAddFile, kMenuAddFolder, kMenuDelete,
                                                kMenuClear,   kMenuUp,        kMenuDown,
                                                kMenuVideoSet, kMenuAudioSet, kMenuStart,
                                                kMenuFileInfo, kMenuPreview};

class Builder {
 public:
  Builder& Set(std::initializer_list<int> ids, bool enabled) {
    for (int id : ids) result_.controls[id] = enabled;
    return *this;
  }
  Builder& On(std::initializer_list<int> ids) { return Set(ids, true); }
  Builder& Off(std::initializer_list<int> ids) { return Set(ids, false); }
  // File upward is off on the first row, File downward on the last.
  Builder& ByPosition(const ControlContext& context) {
    result_.controls[kFileUp] = context.rowCount > 0 && context.currentPosition > 1;
    result_.controls[kFileDown] = context.currentPosition < context.rowCount;
    return *this;
  }
  // Every menu item off but the ones named.
  Builder& MenuOnly(std::initializer_list<int> enabled) {
    for (int id : kMenuItems) result_.menu[id] = false;
    for (int id : enabled) result_.menu[id] = true;
    return *this;
  }
  Enabling& Result() { return result_; }

 private:
  Enabling result_;
};

void ApplyState(Builder& b, const ControlContext& c) {
  const bool rows = c.rowCount > 0;
  switch (c.state) {
    case ConvertState::Idle:
      if (!rows) {
        b.Off(kListCommands).On({kAddFile, kAddFolder}).On(kOutputKind);
        b.Off(kPreviewButtons).Off(kPaths);
      } else {
        b.On({kAddFile, kAddFolder, kDeleteFile, kStart, kClear}).On(kOutputKind).On(kPaths);
        b.Off({kVideoSet, kAudioSet, kStop}).ByPosition(c);
      }
      break;
    case ConvertState::Loaded:
    case ConvertState::Ready:
      if (!rows) {
        // The output kind stays choosable: an emptied list must not lock the user into it.
        b.Off(kListCommands).Off(kPreviewButtons).On({kAddFile, kAddFolder}).On(kPaths);
        b.On(kOutputKind);
      } else if (c.rowCount == 1) {
        b.On({kAddFile, kAddFolder, kDeleteFile, kStart, kClear, kVideoSet, kAudioSet});
        b.On({kPreviewPlay}).On(kOutputKind);
        b.Off({kStop, kFileUp, kFileDown, kPreviewPause, kPreviewStep, kPreviewStop});
      } else {
        b.On({kAddFile, kAddFolder, kDeleteFile, kStart, kClear, kPreviewPlay}).On(kOutputKind);
        b.Off({kVideoSet, kAudioSet, kStop}).ByPosition(c);
      }
      break;
    case ConvertState::Converting:
      b.Off(kListCommands).Off(kOutputKind).Off(kPreviewButtons).On({kStop, kInfoTabs}).On(kPaths);
      b.MenuOnly({kMenuFileInfo});
      break;
    case ConvertState::Stopped:
      b.On({kAddFile, kAddFolder, kDeleteFile, kStart, kClear}).On(kOutputKind).ByPosition(c);
      b.Set({kPreviewPlay}, rows);
      b.Off({kVideoSet, kAudioSet, kStop, kPreviewPause, kPreviewStep, kPreviewStop});
      break;
    case ConvertState::Finished:
      // Add file follows its context menu item, which the finished list keeps enabled.
      b.On({kAddFile, kAddFolder, kDeleteFile, kClear}).On(kOutputKind).Set({kPreviewPlay}, rows);
      b.Off({kVideoSet, kAudioSet, kStart, kStop, kFileDown}).Off(kPaths);
      b.MenuOnly({kMenuAddFile, kMenuAddFolder, kMenuFileInfo});
      break;
    case ConvertState::ParamError:
      b.Off(kListCommands).Off(kOutputKind).Off(kPreviewButtons).On({kAddFolder, kClear});
      b.On(kPaths).MenuOnly({kMenuFileInfo});
      break;
  }
}

// An open preview decides its own buttons: play while paused, the others while it plays.
void ApplyPreview(Builder& b, const EnablingInput& input) {
  if (input.context.state == ConvertState::Converting) return;
  if (!input.previewOpen) {
    b.Off({kPreviewPause, kPreviewStep, kPreviewStop});
    return;
  }
  const bool playing = input.previewMode == PreviewMode::Playing;
  b.Set({kPreviewPlay}, !playing).Set({kPreviewPause}, playing).On({kPreviewStop, kPreviewStep});
}

}  // namespace

Enabling ComputeEnabling(const EnablingInput& input) {
  Builder builder;
  ApplyState(builder, input.context);
  ApplyPreview(builder, input);
  // The rate mode can change whenever WMV is chosen and nothing converts.
  builder.Set({kRateCombo}, input.kind == OutputKind::Wmv &&
                                input.context.state != ConvertState::Converting);
  // A copy has no encoder settings: the video is not encoded and the sound's coding is fixed.
  if (CopiesVideo(input.kind)) builder.Off({kVideoSet, kAudioSet});
  Enabling& result = builder.Result();
  if (!result.menu.count(kMenuFileInfo)) result.menu[kMenuFileInfo] = input.context.rowCount > 0;
  return result;
}

int ButtonOfMenuItem(int menuItem) {
  switch (menuItem) {
    case kMenuAddFile: return kAddFile;
    case kMenuAddFolder: return kAddFolder;
    case kMenuDelete: return kDeleteFile;
    case kMenuClear: return kClear;
    case kMenuUp: return kFileUp;
    case kMenuDown: return kFileDown;
    case kMenuVideoSet: return kVideoSet;
    case kMenuAudioSet: return kAudioSet;
    case kMenuStart: return kStart;
    case kMenuPreview: return kPreviewPlay;
    default: return 0;
  }
}

}  // namespace recast::ui
