// Small value types shared by the job list, the probe, the parameters and the driver.
#pragma once

namespace recast {

// The container a job is converted into, chosen with the window's radio buttons. WMV and AVI
// re-encode the pictures; MP4 and MKV copy the recorded video and convert only the sound.
enum class OutputKind { Wmv, Avi, Mp4, Mkv };

// Whether the recorded video goes into the output as it is (no decoding, no parameters).
constexpr bool CopiesVideo(OutputKind kind) { return kind == OutputKind::Mp4 || kind == OutputKind::Mkv; }

enum class VideoStandard { Pal, Ntsc };

// Before any file has been examined the standard is PAL and the frame size 0 x 0.
constexpr VideoStandard kInitialStandard = VideoStandard::Pal;

}  // namespace recast
