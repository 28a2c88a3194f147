#include "DriverHarness.h"

#include "OutputNaming.h"

namespace recast::testing {

ConverterFactory ConverterScript::Factory() {
  return [this] { return std::make_unique<FakeConverter>(*this); };
}

std::vector<std::string> ConverterScript::CallsOf(const std::string& verb) const {
  std::vector<std::string> names;
  for (const std::string& call : calls) {
    if (call.rfind(verb + " ", 0) != 0) continue;
    const std::string rest = call.substr(verb.size() + 1);
    names.push_back(rest.substr(0, rest.find(' ')));
  }
  return names;
}

FakeConverter::FakeConverter(ConverterScript& script) : script_(script) { ++script_.alive; }

FakeConverter::~FakeConverter() { --script_.alive; }

std::string FakeConverter::Name() const { return FileNameOf(path_); }

void FakeConverter::Log(const std::string& verb, const std::string& detail) {
  script_.calls.push_back(verb + " " + Name() + (detail.empty() ? "" : " " + detail));
}

HRESULT FakeConverter::Open(const std::string& sourcePath) {
  path_ = sourcePath;
  Log("Open");
  if (script_.openFails.count(Name())) return E_FAIL;
  opened_ = true;
  duration_ = script_.openDuration;
  return S_OK;
}

HRESULT FakeConverter::QueryVideoSize(VideoSizeAnswer& answer) {
  if (!HasGraph()) return E_UNEXPECTED;
  answer = script_.decoded;
  return S_OK;
}

HRESULT FakeConverter::BuildOutput(OutputKind kind, const std::string& outputPath,
                                   int32_t frameRate, bool insertDecompressor) {
  Log("Build", FileNameOf(outputPath) + (kind == OutputKind::Wmv ? " wmv " : " avi ") +
                   std::to_string(frameRate) + (insertDecompressor ? " narrow" : ""));
  return script_.buildFails.count(Name()) ? E_FAIL : S_OK;
}

HRESULT FakeConverter::SetParams(const WmvParams& params) {
  Log("SetParams");
  script_.params.push_back(params);
  return script_.paramsFail.count(Name()) ? E_FAIL : S_OK;
}

HRESULT FakeConverter::Start() {
  Log("Start");
  if (script_.startFails.count(Name())) return E_FAIL;
  running_ = true;
  return S_OK;
}

int FakeConverter::Progress() {
  auto& readings = script_.progress[Name()];
  if (readings.empty()) return 0;
  const int value = readings.front();
  if (readings.size() > 1) readings.pop_front();
  if (value != ConverterScript::kFailedReading) return value;
  failure_ = E_FAIL;
  return 0;
}

ConvertHeadway FakeConverter::Headway() {
  if (!script_.stalls.count(Name())) ++frames_;
  return {0, frames_};
}

HRESULT FakeConverter::Stop() {
  Log("Stop");
  if (!running_) return E_FAIL;
  running_ = false;
  return script_.stopFails.count(Name()) ? E_FAIL : S_OK;
}

void FakeConverter::Release() {
  Log("Release");
  running_ = false;
  released_ = true;
}

std::vector<std::string> RecordingView::MessageTexts() const {
  std::vector<std::string> texts;
  for (const MessageBox& box : messages) texts.push_back(box.text);
  return texts;
}

void RecordingView::InsertRow(int row) { rows.insert(rows.begin() + row, ViewRow{}); }

void RecordingView::DeleteRow(int row) {
  rows.erase(rows.begin() + row);
  // Selection marks below the deleted row move up with their rows.
  std::set<int> moved;
  for (int s : selected)
    if (s != row) moved.insert(s > row ? s - 1 : s);
  selected = moved;
}

void RecordingView::SetCellText(int row, int column, std::string_view text) {
  rows.at(static_cast<size_t>(row)).cells[column] = text;
}

void RecordingView::SetCellColour(int row, int column, CellColour background) {
  rows.at(static_cast<size_t>(row)).colours[column] = background;
}

void RecordingView::ShowMessage(std::string_view text, std::string_view caption) {
  messages.push_back({std::string(text), std::string(caption)});
}

void RecordingView::ShowPaths(std::string_view source, std::string_view output) {
  sourceField = source;
  outputField = output;
}

void RecordingView::RefreshControls(const ControlContext& context) {
  refreshedStates.push_back(context.state);
}

}  // namespace recast::testing
