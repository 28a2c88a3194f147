// The lossless builds: the recorded video goes from the file source's compressed video pin
// straight into "MP4 Mux" or "Matroska Mux", so nothing of the picture is decoded or encoded;
// the sound goes through its decoder (the multiplexer encodes it to AAC), except G.711 into
// Matroska, which is kept as recorded. The multiplexer writes through the "File writer".
#include "CopyMuxIds.h"
#include "GraphCtl.h"
#include "PinUtil.h"
#include "SysFilterIds.h"
#include "WideString.h"

namespace recast {
namespace {

constexpr std::string_view kVideoIn = "Video In";
constexpr std::string_view kAudioIn = "Audio In";

}  // namespace

ComPtr<IPin> CGraphCtl::TakeOutDecoder(IPin* decoderOutput) {
  if (!decoderOutput) return nullptr;
  const ComPtr<IBaseFilter> decoder = PinOwner(decoderOutput);
  const ComPtr<IPin> decoderInput = PinOf(decoder.Get(), PINDIR_INPUT);
  ComPtr<IPin> feed = decoderInput ? ConnectedPin(decoderInput.Get()) : nullptr;
  if (feed) Remove(decoder.Get());
  return feed;
}

// Matroska keeps G.711 as recorded: the source's own sound pin is tried first, and the decoder
// stays only when the multiplexer refuses the recorded coding.
int CGraphCtl::ConnectCopyAudio(IPin* decodedAudio, IPin* muxAudio) {
  if (!decodedAudio || !muxAudio) return 0;
  const ComPtr<IBaseFilter> decoder = PinOwner(decodedAudio);
  const ComPtr<IPin> decoderInput = PinOf(decoder.Get(), PINDIR_INPUT);
  const ComPtr<IPin> recorded = decoderInput ? ConnectedPin(decoderInput.Get()) : nullptr;
  if (recorded && SUCCEEDED(graph_->Disconnect(recorded.Get())) &&
      SUCCEEDED(graph_->Disconnect(decoderInput.Get()))) {
    if (Connect(recorded.Get(), muxAudio)) {
      Remove(decoder.Get());
      return 1;
    }
    Connect(recorded.Get(), decoderInput.Get());
  }
  return Connect(decodedAudio, muxAudio);
}

HRESULT CGraphCtl::BuildCopy(OutputKind kind, const std::string& outputPath) {
  if (!graph_) return E_UNEXPECTED;
  Stop();
  const std::u16string_view muxName = kind == OutputKind::Mp4 ? kMp4MuxName : kMatroskaMuxName;
  HRESULT hr = FindByFriendlyName(muxName, FilterCategory::DirectShowFilters, copyMux_);
  if (SUCCEEDED(hr)) hr = FindByFriendlyName(kFileWriterName, FilterCategory::DirectShowFilters, fileWriter_);
  if (FAILED(hr)) {
    ShowMessage(texts::kFiltersMissing, texts::kCaptionAttentionBang);
    Destroy();
    return E_FAIL;
  }
  ComPtr<IFileSinkFilter> sink;
  if (FAILED(fileWriter_->QueryInterface(IID_IFileSinkFilter, sink.ReleaseAndGetVoidAddress())) ||
      FAILED(sink->SetFileName(Utf8ToWide(outputPath).c_str(), nullptr))) {
    Destroy();
    return E_FAIL;
  }
  // A file without sound (or whose video cannot be copied) still converts what it has.
  const ComPtr<IPin> video = TakeOutDecoder(DetachVideo().Get());
  int inputs = Connect(video.Get(), PinOf(copyMux_.Get(), PINDIR_INPUT, kVideoIn).Get());
  const ComPtr<IPin> audio = DetachAudio();
  const ComPtr<IPin> muxAudio = PinOf(copyMux_.Get(), PINDIR_INPUT, kAudioIn);
  inputs += kind == OutputKind::Mkv ? ConnectCopyAudio(audio.Get(), muxAudio.Get())
                                    : Connect(audio.Get(), muxAudio.Get());
  const bool written = Connect(PinOf(copyMux_.Get(), PINDIR_OUTPUT).Get(),
                               PinOf(fileWriter_.Get(), PINDIR_INPUT).Get());
  if (written && inputs > 0) return S_OK;
  // The decoders are gone from the graph, so it cannot be played again: it is released whole.
  Destroy();
  return E_FAIL;
}

}  // namespace recast
