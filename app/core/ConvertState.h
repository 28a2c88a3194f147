// The conversion state of the main window; it decides which commands are enabled.
#pragma once

namespace recast {

enum class ConvertState {
  Idle,        // start-up, after Clear, after a failed preparation or start
  Loaded,      // a file was added; a row was selected, moved or deleted
  Ready,       // the current file is prepared and its output graph built
  Converting,  // the converter runs
  Stopped,     // the user stopped the conversion
  Finished,    // the last row was converted, or the window is closing
  ParamError,  // the WMV parameters were rejected, or the file could not be prepared
};

}  // namespace recast
