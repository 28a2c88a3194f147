// DeferredView: the view the driver sees when it runs on the conversion worker. Every call is
// recorded, in order, and replayed on the window's thread by Flush, so the driver keeps its
// one-caller rule (only one thread calls it at a time) while the window's thread never waits
// for a graph to build, start or stop. The driver never reads from its view, which is what
// makes the recording enough.
//
// Locks: m_lock guards the recorded calls only; replaying happens outside it.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "DriverView.h"

namespace recast::ui {

class DeferredView final : public IDriverView {
 public:
  explicit DeferredView(IDriverView& target) : target_(target) {}

  // Replays what was recorded, in order, on the caller's thread; calls recorded meanwhile
  // (a message box runs an event loop) are replayed by the same Flush, after the earlier ones.
  void Flush();
  bool Pending() const;

  void InsertRow(int row) override;
  void DeleteRow(int row) override;
  void DeleteAllRows() override;
  void SetCellText(int row, int column, std::string_view text) override;
  void SetIcon(int row, int icon) override;
  void SetCellColour(int row, int column, CellColour background) override;
  void RedrawRow(int row) override;
  void RedrawList() override;
  void SelectRow(int row) override;
  void DeselectRow(int row) override;
  void DeselectAll() override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShowPaths(std::string_view source, std::string_view output) override;
  void RefreshControls(const ControlContext& context) override;
  void SetMoveUpEnabled(bool enabled) override;
  void RefreshInfoPages() override;
  void ResetPreviewSlider() override;

 private:
  using Call = std::function<void(IDriverView&)>;
  void Record(Call call);

  IDriverView& target_;
  mutable std::mutex lock_;
  std::vector<Call> calls_;  // guarded by lock_
  bool flushing_ = false;    // window thread only
};

}  // namespace recast::ui
