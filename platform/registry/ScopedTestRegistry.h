// For tests: a private, empty registry in a fresh temporary folder, selected through
// RECAST_REGISTRY for as long as the object lives (child processes inherit it). The
// previous setting is restored and the folder removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

class ScopedTestRegistry {
 public:
  ScopedTestRegistry() {
    if (const char* previous = std::getenv(kVariable)) previous_ = previous;
    std::string pattern =
        (std::filesystem::temp_directory_path() / "recast-registry-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder_ = pattern;
    path_ = (folder_ / "registry.db").string();
    setenv(kVariable, path_.c_str(), 1);
  }
  ~ScopedTestRegistry() {
    if (previous_)
      setenv(kVariable, previous_->c_str(), 1);
    else
      unsetenv(kVariable);
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  ScopedTestRegistry(const ScopedTestRegistry&) = delete;
  ScopedTestRegistry& operator=(const ScopedTestRegistry&) = delete;

  const std::string& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  static constexpr const char* kVariable = "RECAST_REGISTRY";
  std::optional<std::string> previous_;
  std::filesystem::path folder_;
  std::string path_;
};
