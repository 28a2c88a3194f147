#include "ParallelBatch.h"


namespace recast::cli {
namespace {

// The view of a driver that holds one row of the whole list: its row 0 is the list's `row`.
class SlotView final : public IDriverView {
 public:
  SlotView(ParallelView& view, int row) : view_(view), row_(row) {}

  void SetCellText(int row, int column, std::string_view text) override {
    if (row == 0) view_.SetCell(row_, column, text);
  }
  void ShowMessage(std::string_view text, std::string_view caption) override {
    view_.ShowMessage(text, caption);
  }
  void InsertRow(int) override {}
  void DeleteRow(int) override {}
  void DeleteAllRows() override {}
  void SetIcon(int, int) override {}
  void SetCellColour(int, int, CellColour) override {}
  void RedrawRow(int) override {}
  void RedrawList() override {}
  void SelectRow(int) override {}
  void DeselectRow(int) override {}
  void DeselectAll() override {}
  void ShowPaths(std::string_view, std::string_view) override {}
  void RefreshControls(const ControlContext&) override {}
  void SetMoveUpEnabled(bool) override {}
  void RefreshInfoPages() override {}
  void ResetPreviewSlider() override {}

 private:
  ParallelView& view_;
  const int row_;
};

struct Slot {
  std::unique_ptr<SlotView> view;
  std::unique_ptr<CConvertDriver> driver;
};

Slot StartSlot(const PlannedRow& row, int index, const DriverSetup& setup,
               const ConverterFactoryFor& factory, ParallelView& view) {
  Slot slot;
  slot.view = std::make_unique<SlotView>(view, index);
  slot.driver = std::make_unique<CConvertDriver>(*slot.view, factory(view));
  setup(*slot.driver);
  slot.driver->AddFileAs(row.source, row.output);
  slot.driver->SelectRow(0);
  slot.driver->Start();
  return slot;
}

}  // namespace

void RunParallelWalk(const std::vector<PlannedRow>& rows, int jobs, const DriverSetup& setup,
                     const ConverterFactoryFor& factory, ParallelView& view,
                     const std::atomic<bool>& interrupted) {
  std::vector<Slot> running;
  size_t next = 0;
  for (;;) {
    while (!interrupted && next < rows.size() && static_cast<int>(running.size()) < jobs) {
      running.push_back(StartSlot(rows[next], static_cast<int>(next), setup, factory, view));
      ++next;
    }
    std::erase_if(running, [](const Slot& slot) {
      return slot.driver->State() != ConvertState::Converting;
    });
    view.Refresh();
    if (running.empty() && (interrupted || next == rows.size())) break;
    // Each poll waits a share of the period for its graph's events (the converters are made
    // that way), so the loop needs no sleep of its own.
    if (interrupted) {
      for (Slot& slot : running) slot.driver->Stop();
      continue;
    }
    for (Slot& slot : running) slot.driver->OnTimer(kDriverTimerId);
  }
  view.Close();
}

}  // namespace recast::cli
