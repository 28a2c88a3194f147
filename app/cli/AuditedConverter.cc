#include "AuditedConverter.h"

namespace recast::cli {
namespace {

// The first filter in the graph that can vouch for its source file.
ComPtr<IRecorderSourceAudit> FindSourceAudit(IGraphBuilder* graph) {
  ComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(filters.GetAddressOf()))) return nullptr;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IRecorderSourceAudit> audit;
    if (SUCCEEDED(filter.As(audit))) return audit;
  }
  return nullptr;
}

}  // namespace

AuditedConverter::AuditedConverter(std::unique_ptr<CConverter> converter, AuditLog& log)
    : converter_(std::move(converter)), log_(log) {}

AuditedConverter::~AuditedConverter() { Release(); }

HRESULT AuditedConverter::Open(const std::string& sourcePath) {
  source_ = sourcePath;
  opened_ = std::chrono::steady_clock::now();
  log_[source_] = SourceAudit{};
  const HRESULT hr = converter_->Open(sourcePath);
  if (SUCCEEDED(hr)) audit_ = FindSourceAudit(converter_->Graph().Graph());
  Note();
  return hr;
}

HRESULT AuditedConverter::BuildOutput(OutputKind kind, const std::string& outputPath,
                                      int32_t frameRate, bool insertDecompressor) {
  if (!source_.empty()) log_[source_].kind = kind;
  return converter_->BuildOutput(kind, outputPath, frameRate, insertDecompressor);
}

void AuditedConverter::Release() {
  converter_->Release();
  if (released_) return;
  // The graph has stopped: the counts are final, and the time taken ends here.
  released_ = true;
  Note();
  audit_.Reset();
}

void AuditedConverter::Note() {
  if (source_.empty()) return;
  SourceAudit& entry = log_[source_];
  entry.elapsedSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - opened_).count();
  if (!audit_) return;
  Sha256::Digest digest{};
  ULONGLONG size = 0;
  if (audit_->GetFileDigest(digest.data(), &size) == S_OK) {
    entry.digest = digest;
    entry.size = size;
  }
  ULONGLONG frames = 0;
  ULONGLONG audioBlocks = 0;
  if (audit_->GetDeliveredCounts(&frames, &audioBlocks) == S_OK) {
    entry.framesRead = frames;
    entry.audioBlocksRead = audioBlocks;
  }
}

}  // namespace recast::cli
