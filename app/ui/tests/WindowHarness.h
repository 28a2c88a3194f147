// A harness over the Recast window, headless: one QApplication on the offscreen platform, a
// private registry with the recorder, system, encoder and ASF writer modules registered, and
// per test a window whose message boxes, file choosers and desktop launches are recorded.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MainWindow.h"

namespace recast::ui::test {

struct Shown {
  std::string text;
  std::string caption;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  MainWindow& Window() { return *window_; }
  const std::filesystem::path& Dir() const { return dir_; }

  // A recgen recording in the test's folder.
  std::string Write(const std::string& name, int width = 352, int height = 288, int frames = 50,
                    std::optional<uint32_t> audio = 0x1011);
  // A file with a recorder ending that holds no recording.
  std::string WriteJunk(const std::string& name);

  // Processes events until `done` or the deadline; false on the deadline.
  bool WaitFor(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(90));
  // Until no driver call is on the worker.
  bool WaitIdle() { return WaitFor([this] { return !window_->Busy(); }); }
  bool WaitState(ConvertState state) {
    return WaitFor([this, state] { return !window_->Busy() && window_->Snapshot().state == state; });
  }

  void AddFile(const std::string& path);  // through the Add file command
  void AddFolder(const std::string& path);
  void Click(int id);                      // a button of the window
  // Clicks the row, then Start convert, as a user starts from a row.
  void StartFrom(int row);
  bool Enabled(int id) const;              // a control of the window
  bool MenuEnabled(int id);                // an item of the context menu
  QString Cell(int row, int column) const { return window_->Model().Text(row, column); }

  std::vector<Shown> shown_;
  std::vector<QUrl> opened_;
  int closeQuestions_ = 0;

 private:
  std::filesystem::path dir_;
  std::unique_ptr<MainWindow> window_;
  std::vector<QString> chosen_;
};

}  // namespace recast::ui::test
