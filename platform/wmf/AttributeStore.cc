#include "AttributeStore.h"

#include <algorithm>

#include "WideString.h"

namespace {

// Attribute names that have a place of their own in the file header, and the generic
// metadata names the muxer files them under.
struct AttributeKey {
  std::u16string_view attribute;
  const char* metadata;
};
constexpr AttributeKey kAttributeKeys[] = {
    {u"Title", "title"},         {u"Author", "author"}, {u"Copyright", "copyright"},
    {u"Description", "comment"}, {u"Rating", "rating"},
};
constexpr const char* kTitleKey = "title";
constexpr const char* kDescriptionKey = "comment";
constexpr WORD kFileAttributes = 0;  // attributes of stream 0 describe the whole file

std::string MetadataKey(const std::u16string& name) {
  for (const AttributeKey& key : kAttributeKeys)
    if (key.attribute == name) return key.metadata;
  return WideToUtf8(name);
}

// A string attribute's text: UTF-16 of `length` bytes, up to its first null.
std::string AttributeText(const std::vector<BYTE>& value) {
  std::u16string text(value.size() / sizeof(char16_t), u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(value[2 * i] | value[2 * i + 1] << 8);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return WideToUtf8(text);
}

}  // namespace

const AttributeStore::Attribute* AttributeStore::Find(WORD stream,
                                                      std::u16string_view name) const {
  for (const Attribute& a : attributes_)
    if (a.stream == stream && a.name == name) return &a;
  return nullptr;
}

const AttributeStore::Attribute* AttributeStore::At(WORD stream, WORD index) const {
  WORD seen = 0;
  for (const Attribute& a : attributes_)
    if (a.stream == stream && seen++ == index) return &a;
  return nullptr;
}

WORD AttributeStore::Count(WORD stream) const {
  return static_cast<WORD>(std::count_if(attributes_.begin(), attributes_.end(),
                                         [stream](const Attribute& a) { return a.stream == stream; }));
}

void AttributeStore::Set(WORD stream, std::u16string_view name, WMT_ATTR_DATATYPE type,
                         std::vector<BYTE> value) {
  for (Attribute& a : attributes_) {
    if (a.stream == stream && a.name == name) {
      a.type = type;
      a.value = std::move(value);
      return;
    }
  }
  attributes_.push_back(Attribute{stream, std::u16string(name), type, std::move(value)});
}

AsfMuxer::Metadata AttributeStore::FileMetadata() const {
  AsfMuxer::Metadata metadata;
  for (const Attribute& a : attributes_)
    if (a.stream == kFileAttributes && a.type == WMT_TYPE_STRING)
      metadata.emplace_back(MetadataKey(a.name), AttributeText(a.value));
  // The header mend needs the content description object, which the muxer writes only
  // when one of its own fields is set.
  const auto has = [&](const char* key) {
    return std::any_of(metadata.begin(), metadata.end(),
                       [key](const auto& entry) { return entry.first == key; });
  };
  const bool has_content_field = std::any_of(
      std::begin(kAttributeKeys), std::end(kAttributeKeys),
      [&](const AttributeKey& k) { return k.metadata != kDescriptionKey && has(k.metadata); });
  if (has(kDescriptionKey) && !has_content_field) metadata.emplace_back(kTitleKey, "");
  return metadata;
}
