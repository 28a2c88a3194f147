// What the graph tests and the GraphTestFilters module agree on: class identifiers, media
// types, the registration it writes, and the text its source understands.
//
// The module holds a two-stream source, three decoders and two renderers:
//   "Graph Test Source"   outputs "Video" (Video, TestCompressed) and "Audio" (Audio, TestPcm).
//                         Its Load text may carry "video=N", "audio=N" (sample counts),
//                         "buffers=N" (allocator buffers per stream) and "step=MS" (sample
//                         duration) anywhere in it.
//   "Graph Test Decoder"  TestCompressed → TestDecoded, merit PREFERRED ("High") or NORMAL
//                         ("Low"); "Graph Test Picky Decoder" is registered above both but
//                         refuses every type.
//   "Graph Test Video Renderer" (TestDecoded, IVideoFrameStep) and "Graph Test Audio Renderer"
//                         (TestPcm, IBasicAudio); both report IRenderStatistics and ask for a
//                         clock.
// Registration also claims the scheme "gtest", files that begin with "GTST" and the
// extension ".gts" for the source.
#pragma once

#include "Guid.h"
#include "MediaGuids.h"

namespace graph_test {

DEFINE_GUID(CLSID_GraphTestSource, 0x54490781, 0x7182, 0x4BE9, 0xB4, 0x82, 0x3F, 0x6A, 0xA8, 0x07,
            0xCE, 0x5F);
DEFINE_GUID(CLSID_GraphTestDecoderHigh, 0x2847A6DC, 0x2A44, 0x4A64, 0x9B, 0x43, 0x5F, 0x8A, 0xCE,
            0xDC, 0x74, 0x31);
DEFINE_GUID(CLSID_GraphTestDecoderLow, 0x329A399A, 0x21AF, 0x41A1, 0x8D, 0x36, 0x7E, 0x55, 0xED,
            0x84, 0xE6, 0xDA);
DEFINE_GUID(CLSID_GraphTestPickyDecoder, 0x2DE7B81E, 0xD681, 0x4DB1, 0x9D, 0x81, 0xA7, 0x77, 0x0C,
            0xF2, 0xA4, 0xC5);
DEFINE_GUID(CLSID_GraphTestVideoRenderer, 0x65AE1F4E, 0xD48A, 0x4F4B, 0xB1, 0x15, 0xD5, 0x35, 0xF5,
            0x10, 0xDA, 0x7B);
DEFINE_GUID(CLSID_GraphTestAudioRenderer, 0x962BC097, 0x37CC, 0x4A46, 0x9B, 0x9F, 0xC0, 0x07, 0x43,
            0x1C, 0x9A, 0xA4);
DEFINE_GUID(MEDIASUBTYPE_TestCompressed, 0x81A3DE64, 0xD2DA, 0x486F, 0x83, 0x10, 0x1D, 0xF8, 0x12,
            0xB8, 0xA6, 0x7B);
DEFINE_GUID(MEDIASUBTYPE_TestDecoded, 0xE69573A0, 0xDAFE, 0x481E, 0xB5, 0x10, 0x70, 0x7B, 0xD3,
            0x65, 0x19, 0x3A);
DEFINE_GUID(MEDIASUBTYPE_TestPcm, 0xADE5FF9B, 0x44FE, 0x4965, 0xB5, 0x19, 0x1F, 0x89, 0x55, 0x7A,
            0x4B, 0x6E);
DEFINE_GUID(MEDIASUBTYPE_TestFile, 0x69629A08, 0x75BA, 0x48AA, 0x83, 0x25, 0x29, 0x2A, 0x78, 0x9C,
            0xFF, 0x13);

inline constexpr char kScheme[] = "gtest";
inline constexpr char kExtension[] = ".gts";
inline constexpr char kMagic[] = "GTST";

inline constexpr int kDefaultVideoSamples = 10;
inline constexpr int kDefaultAudioSamples = 5;
inline constexpr int kDefaultBuffers = 2;
inline constexpr int kDefaultStepMs = 10;

}  // namespace graph_test
