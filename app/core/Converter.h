// IConverter: what the driver needs of the object that converts one file (CConverter, which
// owns the file's filter graph). The driver calls, in this order: Open, QueryVideoSize,
// BuildOutput, SetParams (WMV only), Start, Progress (repeatedly), Stop, Release.
//
// Implementations report failures as HRESULTs and show their own messages for missing
// filters and configuration errors; the driver only marks the row.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ConvertParams.h"
#include "ConvertTypes.h"
#include "HResult.h"
#include "WinTypes.h"

namespace recast {

constexpr int kProgressComplete = 100;

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
  // 0..100; 100 only once the job is complete.
  virtual int Progress() = 0;
  // Stops a running graph.
  virtual HRESULT Stop() = 0;
  // Stops if needed and releases the graph; the converter is not used afterwards.
  virtual void Release() = 0;
};

// Creates a fresh converter for each file the driver prepares.
using ConverterFactory = std::function<std::unique_ptr<IConverter>()>;

}  // namespace recast
