// CGraphCtl: the filter graph of one conversion and the filters the conversion adds to it.
//
// The graph starts as DirectShow's rendering of the source file (source, splitter, decoders,
// renderers, whichever the system has registered); the output builds then take the renderers
// out and route the decoders' outputs into the AVI chain (video encoder, AVI Mux, File writer,
// audio processor) or into the ASF writer. Everything here runs on the caller's thread; the
// graph runs on its own threads and is only polled.
//
// Where the members are used:
//   GraphCtl.cc        creating and destroying the graph object, state, duration, size
//   GraphTopology.cc   finding and creating filters, pins, detaching renderers, connecting
//   GraphOutputs.cc    the AVI and WMV builds, the WMV connections, the writer's configuration
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ComPtr.h"
#include "ConvertParams.h"
#include "ConverterTexts.h"
#include "GraphInterfaces.h"
#include "MapperInterfaces.h"
#include "wmsink/WmSinkConfig.h"

namespace recast {

// The filter categories searched by friendly name, by the index the conversion uses.
enum class FilterCategory {
  AudioCapture = 0,
  AudioCompressors = 1,
  AudioRenderers = 2,
  DirectShowFilters = 3,
  MidiRenderers = 4,
  VideoCapture = 5,
  VideoCompressors = 6,
};

const CLSID& CategoryClass(FilterCategory category);

// The window that receives the graph's event notifications. The program never handles them
// (completion is polled), so they go to the desktop.
constexpr OAHWND kDesktopWindow = 0;
constexpr LONG kGraphNotifyMessage = 0x414;

// What the ASF writer is told before the real parameters arrive.
constexpr int32_t kDefaultOutputWidth = 704;
constexpr int32_t kDefaultOutputHeight = 576;
constexpr int32_t kDefaultWriterBitRate = 1'000'000;

// What the graph reported since it was last asked: completion, or the first failure that ends
// the run (S_OK when none).
struct GraphNews {
  bool complete = false;
  HRESULT failure = S_OK;
};

class CGraphCtl {
 public:
  explicit CGraphCtl(MessageSink messages) : messages_(std::move(messages)) {}
  ~CGraphCtl() { Destroy(); }
  CGraphCtl(const CGraphCtl&) = delete;
  CGraphCtl& operator=(const CGraphCtl&) = delete;

  // ---- The graph object (GraphCtl.cc) ----------------------------------------------------
  // Creates the graph manager, registers it in the running object table and asks it for the
  // control, event, seeking and video interfaces; fails when any is missing.
  HRESULT Create();
  // Stops the graph, hides the video window, revokes the table entry, releases everything.
  void Destroy();
  bool HasGraph() const { return graph_ != nullptr; }
  // The name the graph is registered under: "FilterGraph <address> pid <process>".
  const std::u16string& TableName() const { return tableName_; }

  HRESULT RenderFile(const std::string& path);
  HRESULT SetNotifyWindow(OAHWND window);
  HRESULT Duration(REFERENCE_TIME& duration);
  HRESULT CurrentPosition(REFERENCE_TIME& position);
  HRESULT VideoSize(int32_t& width, int32_t& height);
  HRESULT Run();
  HRESULT Stop();
  // Reads every event the graph queued, waiting up to `timeoutMs` for the first one. Each
  // abort or stream error counts as a failure: a run that lost a stream or its output never
  // reaches a complete file, whatever end of stream follows.
  GraphNews TakeEvents(LONG timeoutMs);
  IGraphBuilder* Graph() const { return graph_.Get(); }

  // ---- Filters and pins (GraphTopology.cc) -----------------------------------------------
  // Enumerates the category for a moniker whose "FriendlyName" is exactly `name`, creates
  // its "CLSID" in process and adds it to the graph under `name`.
  HRESULT FindByFriendlyName(std::u16string_view name, FilterCategory category,
                             ComPtr<IBaseFilter>& filter);
  HRESULT CreateByClass(const CLSID& clsid, std::u16string_view name,
                        ComPtr<IBaseFilter>& filter);
  // The first pin of that direction; with a name part, the first whose name contains it.
  static ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction,
                            std::string_view namePart = {});
  static ComPtr<IPin> FreeInputPin(IBaseFilter* filter);
  static ComPtr<IBaseFilter> UpstreamOf(IBaseFilter* filter);
  // Remove the video (or audio) renderer and return the output pin that fed it; null when
  // there is no such renderer.
  ComPtr<IPin> DetachVideo();
  ComPtr<IPin> DetachAudio();
  bool Connect(IPin* output, IPin* input);
  void Remove(IBaseFilter* filter);
  // Renders a detached output again, so an undone build leaves a playable graph.
  void RenderAgain(IPin* output);

  // ---- Outputs (GraphOutputs.cc) ---------------------------------------------------------
  HRESULT BuildAvi(const std::string& outputPath);
  HRESULT BuildWmv(const std::string& outputPath, int32_t frameRate, bool insertDecompressor);
  HRESULT ConnectWmvStreams();
  // Stores the parameters and sends them to the writer.
  HRESULT SetParams(const WmvParams& params);
  // The writer's count of video frames written; fails without a writer.
  HRESULT WrittenFrames(DWORD expected, DWORD& written);
  bool HasWriterConfig() const { return writerConfig_ != nullptr; }
  int32_t OutputWidth() const { return outputWidth_; }
  int32_t OutputHeight() const { return outputHeight_; }
  const WmvParams& LastParams() const { return params_; }

 private:
  HRESULT RegisterInTable();
  HRESULT FindAviChain();
  HRESULT SendConfig(const WmSinkConfig& config);
  void UndoAvi(IPin* video, IPin* audio);
  void UndoWmv(IPin* video, IPin* audio);
  void ShowMessage(std::string_view text, std::string_view caption) const;

  MessageSink messages_;

  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  ComPtr<IMediaSeeking> seeking_;
  ComPtr<IBasicVideo> basicVideo_;
  ComPtr<IBasicAudio> basicAudio_;
  ComPtr<IVideoWindow> videoWindow_;
  ComPtr<IVideoFrameStep> frameStep_;
  DWORD tableCookie_ = 0;
  std::u16string tableName_;

  ComPtr<IBaseFilter> videoEncoder_;
  ComPtr<IBaseFilter> aviMux_;
  ComPtr<IBaseFilter> fileWriter_;
  ComPtr<IBaseFilter> audioProcessor_;
  ComPtr<IBaseFilter> asfWriter_;
  ComPtr<IWmSinkConfig> writerConfig_;
  ComPtr<IBaseFilter> decompressor_;
  bool insertDecompressor_ = false;

  int32_t outputWidth_ = kDefaultOutputWidth;
  int32_t outputHeight_ = kDefaultOutputHeight;
  WmvParams params_;  // as last sent, CBR flag included
};

}  // namespace recast
