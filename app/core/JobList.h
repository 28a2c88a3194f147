// JobList: an ordered list of job records with 1-based positions.
//
// The driver keeps two: the record list (one record per row, in the order files were added)
// and the run list, rebuilt from the rows each time conversion starts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "JobRecord.h"

namespace recast {

class JobList {
 public:
  void Append(JobRecord record);
  void Clear();
  int Count() const { return static_cast<int>(records_.size()); }
  bool Empty() const { return records_.empty(); }

  // The record at a 1-based position; nullptr outside 1..Count().
  const JobRecord* At(int position) const;

  // The first record whose source path ends with `suffix` (byte comparison, case-sensitive).
  const JobRecord* FindBySuffix(std::string_view suffix) const;

  // The record of exactly this path, else the first whose path ends with it. Full paths are
  // matched exactly first so that "/a/x.mp4" never answers for "/mnt/a/x.mp4" or the reverse.
  const JobRecord* Find(std::string_view path) const;

  // Drops the first record of exactly this path; false when there is none.
  bool Remove(std::string_view path);

 private:
  std::vector<JobRecord> records_;
};

}  // namespace recast
