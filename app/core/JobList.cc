#include "JobList.h"

#include <algorithm>

namespace recast {

void JobList::Append(JobRecord record) { records_.push_back(std::move(record)); }

void JobList::Clear() { records_.clear(); }

const JobRecord* JobList::At(int position) const {
  if (position < 1 || position > Count()) return nullptr;
  return &records_[static_cast<size_t>(position - 1)];
}

const JobRecord* JobList::FindBySuffix(std::string_view suffix) const {
  auto it = std::find_if(records_.begin(), records_.end(), [&](const JobRecord& r) {
    return std::string_view(r.sourcePath).ends_with(suffix);
  });
  return it == records_.end() ? nullptr : &*it;
}

const JobRecord* JobList::Find(std::string_view path) const {
  auto it = std::find_if(records_.begin(), records_.end(),
                         [&](const JobRecord& r) { return r.sourcePath == path; });
  return it != records_.end() ? &*it : FindBySuffix(path);
}

bool JobList::Remove(std::string_view path) {
  auto it = std::find_if(records_.begin(), records_.end(),
                         [&](const JobRecord& r) { return r.sourcePath == path; });
  if (it == records_.end()) return false;
  records_.erase(it);
  return true;
}

}  // namespace recast
