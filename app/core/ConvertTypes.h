// Small value types shared by the job list, the probe, the parameters and the driver.
#pragma once

namespace recast {

// The container a job is converted into, chosen with the window's two radio buttons.
enum class OutputKind { Wmv, Avi };

enum class VideoStandard { Pal, Ntsc };

// Before any file has been examined the standard is PAL and the frame size 0 x 0.
constexpr VideoStandard kInitialStandard = VideoStandard::Pal;

}  // namespace recast
