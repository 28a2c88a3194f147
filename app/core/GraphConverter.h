// CConverter: converts one source file. It renders the file into a graph (CGraphCtl), builds
// the AVI or WMV output, sends the WMV parameters, runs the graph and reports progress; the
// driver (CConvertDriver) creates one per file through the IConverter interface.
//
// Messages for missing filters and configuration errors go to the message sink with their
// captions; the driver only marks the row.
//
// The graph's events are read at each progress poll: completion stops the graph, so every
// writer finalises its file, and only a file finalised without an error event is renamed from
// its partial name to the output name.
#pragma once

#include <functional>
#include <string>

#include "Converter.h"
#include "GraphCtl.h"

namespace recast {

enum class ConverterState { Unbuilt, Built, Connected, Running, Halted };

// Shows a filter's property pages in a frame captioned with the filter's name. The window
// supplies it; without one the pages cannot be shown.
using PropertyFrameFn =
    std::function<HRESULT(IUnknown* object, std::u16string_view caption, const CAUUID& pages)>;

// Progress polls wait this long for the completion event unless the host sets another wait.
constexpr LONG kCompletionPollMs = 10;
// The writer's frame count is compared with the duration at this many frames per second,
// whatever the source's real rate.
constexpr double kExpectedFramesPerUnit = 25.0 / 10'000'000.0;
constexpr int kProgressBeforeCompletion = 99;

class CConverter final : public IConverter {
 public:
  explicit CConverter(MessageSink messages, PropertyFrameFn propertyFrame = {});
  ~CConverter() override;

  HRESULT Open(const std::string& sourcePath) override;
  const std::string& SourcePath() const override { return sourcePath_; }
  REFERENCE_TIME Duration() const override { return duration_; }
  bool HasGraph() const override { return graph_.HasGraph(); }
  HRESULT QueryVideoSize(VideoSizeAnswer& answer) override;
  HRESULT BuildOutput(OutputKind kind, const std::string& outputPath, int32_t frameRate,
                      bool insertDecompressor) override;
  HRESULT SetParams(const WmvParams& params) override;
  HRESULT ConfigureVideo() override;
  HRESULT ConfigureAudio() override;
  HRESULT Start() override;
  int Progress() override;
  HRESULT Failure() const override { return failure_; }
  ConvertHeadway Headway() override;
  HRESULT Stop() override;
  void Release() override;

  // How long each progress poll waits for the graph's events. A host that does nothing else
  // between polls waits here instead of sleeping, so it sees completion the moment it comes.
  void SetCompletionWait(LONG ms) { completionWaitMs_ = ms; }

  ConverterState State() const { return state_; }
  CGraphCtl& Graph() { return graph_; }

 private:
  int AviProgress();
  int WmvProgress();
  // Stops the graph, then gives the finished output its own name unless an error came first.
  HRESULT Finalise();
  void Fail(HRESULT failure);
  void DiscardPartialOutput();
  HRESULT ShowPages(std::u16string_view filterName);
  void ShowMessage(std::string_view text, std::string_view caption) const;

  MessageSink messages_;
  PropertyFrameFn propertyFrame_;
  CGraphCtl graph_;
  ConverterState state_ = ConverterState::Unbuilt;
  OutputKind kind_ = OutputKind::Wmv;
  REFERENCE_TIME duration_ = 0;
  std::string sourcePath_;
  std::string outputPath_;  // the name the finished output gets
  std::string partPath_;    // where it is written until then
  bool outputKept_ = false;  // renamed to outputPath_
  HRESULT failure_ = S_OK;
  VideoSizeAnswer videoSize_;
  int32_t frameRate_ = 0;
  LONG completionWaitMs_ = kCompletionPollMs;
};

}  // namespace recast
