// CPreviewGraph: a graph that only plays the current file for the preview area. The file is
// rendered to the system's renderers and nothing else is added, so a preview never writes an
// output file and never depends on the output filters being connectable. The video renderer
// paints into whatever window handle the graph's video window is owned by.
//
// Everything runs on the caller's thread; the graph streams on its own threads. Graph calls
// that fail during a preview are ignored by the callers, so most operations only report.
#pragma once

#include <string>

#include "ComPtr.h"
#include "GraphCtl.h"

namespace recast {

enum class PreviewMode { Playing = 0, Stepping = 2, Paused = 3 };

// How long graph state queries wait before taking an intermediate answer.
constexpr LONG kPreviewStateTimeoutMs = 10;
// The child window style the video window is given inside the preview area.
constexpr LONG kPreviewWindowStyle = 0x46000000;
constexpr int kSliderRange = 100;

class CPreviewGraph {
 public:
  explicit CPreviewGraph(MessageSink messages) : graph_(std::move(messages)) {}
  ~CPreviewGraph() { Close(); }
  CPreviewGraph(const CPreviewGraph&) = delete;
  CPreviewGraph& operator=(const CPreviewGraph&) = delete;

  // Renders `path` into a new graph; fails when the file cannot be rendered or has no video.
  HRESULT Open(const std::string& path);
  bool IsOpen() const { return graph_.HasGraph(); }
  const std::string& Path() const { return path_; }

  // Puts the video window into `owner` at (0, 0) with the given client size; an owner of 0
  // leaves it hidden.
  HRESULT Attach(OAHWND owner, LONG width, LONG height);
  HRESULT Play();
  HRESULT Pause();
  // Pauses and steps one frame; S_FALSE when the renderer cannot step.
  HRESULT Step();
  // Stops, detaches the video window and releases the graph.
  void Close();

  REFERENCE_TIME Duration() const { return duration_; }
  REFERENCE_TIME Position();
  // The slider position 0..100 of the current position.
  int SliderPosition();
  HRESULT VideoSize(int32_t& width, int32_t& height) { return graph_.VideoSize(width, height); }

 private:
  OAFilterState CurrentState();
  HRESULT ChangeState(OAFilterState wanted);

  CGraphCtl graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IVideoWindow> window_;
  ComPtr<IVideoFrameStep> frameStep_;
  std::string path_;
  REFERENCE_TIME duration_ = 0;
};

}  // namespace recast
