// AuditedConverter: a CConverter that also notes, for the integrity report, what the source
// filter vouches for (the file's digest, the frames and audio blocks it delivered), which
// output it built, and how long the file took from Open to Release. It wraps the converter the
// driver would get, so the driver's rules for one file stay as they are.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ComPtr.h"
#include "GraphConverter.h"
#include "RecorderSourceAudit.h"
#include "Sha256.h"

namespace recast::cli {

// What one conversion noted about its source; the report joins it with the row's outcome.
struct SourceAudit {
  OutputKind kind = OutputKind::Wmv;
  std::optional<Sha256::Digest> digest;  // none when the source could not vouch for the file
  uint64_t size = 0;
  std::optional<uint64_t> framesRead;
  std::optional<uint64_t> audioBlocksRead;
  double elapsedSeconds = 0;
};

// Source path -> audit. Everything runs on the batch's one thread, so nothing is locked.
using AuditLog = std::map<std::string, SourceAudit>;

class AuditedConverter final : public IConverter {
 public:
  AuditedConverter(std::unique_ptr<CConverter> converter, AuditLog& log);
  ~AuditedConverter() override;

  HRESULT Open(const std::string& sourcePath) override;
  const std::string& SourcePath() const override { return converter_->SourcePath(); }
  REFERENCE_TIME Duration() const override { return converter_->Duration(); }
  bool HasGraph() const override { return converter_->HasGraph(); }
  HRESULT QueryVideoSize(VideoSizeAnswer& answer) override { return converter_->QueryVideoSize(answer); }
  HRESULT BuildOutput(OutputKind kind, const std::string& outputPath, int32_t frameRate,
                      bool insertDecompressor) override;
  HRESULT SetParams(const WmvParams& params) override { return converter_->SetParams(params); }
  HRESULT ConfigureVideo() override { return converter_->ConfigureVideo(); }
  HRESULT ConfigureAudio() override { return converter_->ConfigureAudio(); }
  HRESULT Start() override { return converter_->Start(); }
  int Progress() override { return converter_->Progress(); }
  HRESULT Failure() const override { return converter_->Failure(); }
  ConvertHeadway Headway() override { return converter_->Headway(); }
  HRESULT Stop() override { return converter_->Stop(); }
  void Release() override;

 private:
  // Writes what the source says now into the log entry of the opened file.
  void Note();

  std::unique_ptr<CConverter> converter_;
  AuditLog& log_;
  std::string source_;  // the opened file; empty before Open
  std::chrono::steady_clock::time_point opened_;
  // Held from Open on, so the counts can still be read once the graph is gone.
  ComPtr<IRecorderSourceAudit> audit_;
  bool released_ = false;
};

}  // namespace recast::cli
