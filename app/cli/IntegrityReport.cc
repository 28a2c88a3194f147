#include "IntegrityReport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "JsonText.h"
#include "OutputAudit.h"

namespace recast::cli {
namespace {

constexpr int kElapsedDecimals = 3;  // milliseconds

void AddCount(JsonObject& entry, std::string_view key, const std::optional<uint64_t>& count) {
  if (count)
    entry.Add(key, *count);
  else
    entry.AddNull(key);
}

std::string EntryJson(const RowOutcome& row, const AuditLog& log) {
  JsonObject entry;
  const auto noted = log.find(row.source);
  const SourceAudit* source = noted == log.end() ? nullptr : &noted->second;
  entry.Add("source", row.source);
  if (source && source->digest) {
    entry.Add("sourceSize", source->size);
    entry.Add("sourceSha256", Sha256::Hex(*source->digest));
  } else {
    entry.AddNull("sourceSize").AddNull("sourceSha256");
  }
  entry.Add("output", row.output);
  const std::optional<OutputAudit> output =
      row.output.empty() ? std::nullopt : AuditOutput(row.output);
  if (output) {
    entry.Add("outputSize", output->size);
    entry.Add("outputSha256", Sha256::Hex(output->digest));
  } else {
    entry.AddNull("outputSize").AddNull("outputSha256");
  }
  AddCount(entry, "framesRead", source ? source->framesRead : std::nullopt);
  AddCount(entry, "audioBlocksRead", source ? source->audioBlocksRead : std::nullopt);
  AddCount(entry, "framesWritten", output ? output->frames : std::nullopt);
  AddCount(entry, "audioBlocksWritten", output ? output->audioBlocks : std::nullopt);
  entry.Add("status", row.status.empty() ? std::string_view("Not converted") : row.status);
  if (source)
    entry.AddFixed("elapsedSeconds", source->elapsedSeconds, kElapsedDecimals);
  else
    entry.AddNull("elapsedSeconds");
  // Forensic readers need to know whether the pictures are the recorder's own bytes.
  entry.Add("videoCopied", source != nullptr && CopiesVideo(source->kind));
  return entry.Text();
}

}  // namespace

std::string IntegrityReportJson(const std::vector<RowOutcome>& rows, const AuditLog& log) {
  std::string files = "[";
  for (const RowOutcome& row : rows) {
    if (files.size() > 1) files += ",\n";
    files += EntryJson(row, log);
  }
  files += "]";
  return JsonObject().AddRaw("files", files).Text() + "\n";
}

bool WriteIntegrityReport(const std::string& path, const std::vector<RowOutcome>& rows,
                          const AuditLog& log, std::ostream& err) {
  const std::string text = IntegrityReportJson(rows, log);
  const std::string temporary = path + ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
      err << "recast: cannot write the report " << path << "\n";
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    err << "recast: cannot write the report " << path << ": " << error.message() << "\n";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace recast::cli
