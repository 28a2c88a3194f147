#include "RtspHeader.h"

namespace streamclient {

namespace {
template <typename Items>
std::string Join(const Items& items, char separator) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += separator;
    text += items[i].Text();
  }
  return text;
}
}  // namespace

std::string HeaderParam::Text() const { return value.empty() ? name : name + "=" + value; }

const HeaderParam* HeaderValue::Find(std::string_view name) const {
  for (const HeaderParam& param : params) {
    if (param.name == name) return &param;
  }
  return nullptr;
}

std::string HeaderValue::Text() const { return Join(params, ';'); }

std::string RangeValue::Text() const {
  return (kind == RangeKind::kSmpte ? "smpte=" : "npt=") + text;
}

std::string ValueText(const RtspValue& value) {
  return std::visit([](const auto& v) { return v.Text(); }, value);
}

std::string RtspHeader::Text() const {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ',';
    text += ValueText(values[i]);
  }
  return text;
}

}  // namespace streamclient
