#include "DeferredView.h"

#include <string>

namespace recast::ui {

void DeferredView::Record(Call call) {
  const std::lock_guard guard(lock_);
  calls_.push_back(std::move(call));
}

bool DeferredView::Pending() const {
  const std::lock_guard guard(lock_);
  return !calls_.empty();
}

void DeferredView::Flush() {
  if (flushing_) return;  // the outer Flush drains what arrives while a call runs
  flushing_ = true;
  for (;;) {
    std::vector<Call> batch;
    {
      const std::lock_guard guard(lock_);
      batch.swap(calls_);
    }
    if (batch.empty()) break;
    for (Call& call : batch) call(target_);
  }
  flushing_ = false;
}

void DeferredView::InsertRow(int row) {
  Record([row](IDriverView& v) { v.InsertRow(row); });
}
void DeferredView::DeleteRow(int row) {
  Record([row](IDriverView& v) { v.DeleteRow(row); });
}
void DeferredView::DeleteAllRows() {
  Record([](IDriverView& v) { v.DeleteAllRows(); });
}
void DeferredView::SetCellText(int row, int column, std::string_view text) {
  Record([row, column, text = std::string(text)](IDriverView& v) { v.SetCellText(row, column, text); });
}
void DeferredView::SetIcon(int row, int icon) {
  Record([row, icon](IDriverView& v) { v.SetIcon(row, icon); });
}
void DeferredView::SetCellColour(int row, int column, CellColour background) {
  Record([=](IDriverView& v) { v.SetCellColour(row, column, background); });
}
void DeferredView::RedrawRow(int row) {
  Record([row](IDriverView& v) { v.RedrawRow(row); });
}
void DeferredView::RedrawList() {
  Record([](IDriverView& v) { v.RedrawList(); });
}
void DeferredView::SelectRow(int row) {
  Record([row](IDriverView& v) { v.SelectRow(row); });
}
void DeferredView::DeselectRow(int row) {
  Record([row](IDriverView& v) { v.DeselectRow(row); });
}
void DeferredView::DeselectAll() {
  Record([](IDriverView& v) { v.DeselectAll(); });
}
void DeferredView::ShowMessage(std::string_view text, std::string_view caption) {
  Record([text = std::string(text), caption = std::string(caption)](IDriverView& v) {
    v.ShowMessage(text, caption);
  });
}
void DeferredView::ShowPaths(std::string_view source, std::string_view output) {
  Record([source = std::string(source), output = std::string(output)](IDriverView& v) {
    v.ShowPaths(source, output);
  });
}
void DeferredView::RefreshControls(const ControlContext& context) {
  Record([context](IDriverView& v) { v.RefreshControls(context); });
}
void DeferredView::SetMoveUpEnabled(bool enabled) {
  Record([enabled](IDriverView& v) { v.SetMoveUpEnabled(enabled); });
}
void DeferredView::RefreshInfoPages() {
  Record([](IDriverView& v) { v.RefreshInfoPages(); });
}
void DeferredView::ResetPreviewSlider() {
  Record([](IDriverView& v) { v.ResetPreviewSlider(); });
}

}  // namespace recast::ui
