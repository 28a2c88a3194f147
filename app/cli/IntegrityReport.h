// The integrity report of `recast --batch --report FILE.json`: one entry per listed file, in
// list order, joining the row's outcome (source, output, status) with what its conversion
// noted (AuditLog) and what the finished output holds (OutputAudit). Written once every file
// has finished, so each output is read after its header was patched and it got its final name.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "AuditedConverter.h"
#include "BatchView.h"

namespace recast::cli {

// The report as JSON text: {"files":[{...},...]}.
std::string IntegrityReportJson(const std::vector<RowOutcome>& rows, const AuditLog& log);

// Writes the report to `path` under a temporary name first, so a reader never sees half of
// it; false (with a line on `err`) when it cannot be written.
bool WriteIntegrityReport(const std::string& path, const std::vector<RowOutcome>& rows,
                          const AuditLog& log, std::ostream& err);

}  // namespace recast::cli
