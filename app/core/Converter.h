// IConverter: what the driver needs of the object that converts one file (CConverter, which
// owns the file's filter graph). The driver calls, in this order: Open, QueryVideoSize,
// BuildOutput, SetParams (WMV only), Start, Progress and Failure and Headway (repeatedly), Stop,
// Release.
//
// The output is written under its name with kPartSuffix added and takes its own name only once
// it was finalised without error (at completion, or when a running job is stopped), so no
// truncated file ever carries the output's name; a job that fails or is released unfinished
// removes its partial file.
//
// Implementations report failures as HRESULTs and show their own messages for missing
// filters and configuration errors; the driver only marks the row.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ConvertParams.h"
#include "ConvertTypes.h"
#include "HResult.h"
#include "WinTypes.h"

namespace recast {

constexpr int kProgressComplete = 100;

// Added to the output path while the output is written.
constexpr std::string_view kPartSuffix = ".part";

// What shows that a running job gets on: the media time the output reached and the frames the
// writer wrote. A job whose headway stays the same makes no progress.
struct ConvertHeadway {
  REFERENCE_TIME position = 0;
  uint32_t writtenFrames = 0;
  bool operator==(const ConvertHeadway&) const = default;
};

struct VideoSizeAnswer {
  int32_t width = 0;
  int32_t height = 0;
  REFERENCE_TIME duration = 0;
};

class IConverter {
 public:
  virtual ~IConverter() = default;

  // Renders the source file into a new graph and reads its duration.
  virtual HRESULT Open(const std::string& sourcePath) = 0;
  virtual const std::string& SourcePath() const = 0;
  // The media duration in 100 ns units, known after a successful Open.
  virtual REFERENCE_TIME Duration() const = 0;
  virtual bool HasGraph() const = 0;

  // The decoded frame size and the duration.
  virtual HRESULT QueryVideoSize(VideoSizeAnswer& answer) = 0;
  // Builds the AVI chain or prepares the WMV writer for `outputPath`.
  virtual HRESULT BuildOutput(OutputKind kind, const std::string& outputPath, int32_t frameRate,
                              bool insertDecompressor) = 0;
  // Sends the WMV parameters to the writer.
  virtual HRESULT SetParams(const WmvParams& params) = 0;
  // Show the property pages of the video encoder or the audio processor.
  virtual HRESULT ConfigureVideo() = 0;
  virtual HRESULT ConfigureAudio() = 0;

  // Connects the WMV streams if needed, then runs the graph.
  virtual HRESULT Start() = 0;
  // 0..100; 100 only once the job is complete and its output carries its own name.
  virtual int Progress() = 0;
  // Why the job failed (an error the graph reported, or finalising the output); S_OK while it
  // has not. Known after the Progress call that found it; the job then makes no more progress.
  virtual HRESULT Failure() const = 0;
  virtual ConvertHeadway Headway() = 0;
  // Stops a running graph; its output is finalised and takes its own name. Fails when the
  // output could not be finalised.
  virtual HRESULT Stop() = 0;
  // Stops if needed and releases the graph; the converter is not used afterwards.
  virtual void Release() = 0;
};

// Creates a fresh converter for each file the driver prepares.
using ConverterFactory = std::function<std::unique_ptr<IConverter>()>;

}  // namespace recast
