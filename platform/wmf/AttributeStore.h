// AttributeStore: the writer's header attributes (IWMHeaderInfo), each a name, a type and raw
// value bytes for a stream (0 for the whole file), in the order they were first set. It also
// turns the file's string attributes into the metadata the ASF muxer writes into the header.
//
// Not thread-safe: the writer's lock guards it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "AsfMuxer.h"
#include "Wmsdk.h"

class AttributeStore {
 public:
  struct Attribute {
    WORD stream;
    std::u16string name;
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
  };

  const Attribute* Find(WORD stream, std::u16string_view name) const;
  // The index-th (0-based) attribute of `stream`; nullptr past the last.
  const Attribute* At(WORD stream, WORD index) const;
  WORD Count(WORD stream) const;
  // Adds the attribute, or replaces the type and value of the one of that stream and name.
  void Set(WORD stream, std::u16string_view name, WMT_ATTR_DATATYPE type, std::vector<BYTE> value);

  // The file's string attributes as muxer metadata (Title, Author, ... under the muxer's own
  // keys; other names as they are).
  AsfMuxer::Metadata FileMetadata() const;

 private:
  std::vector<Attribute> attributes_;
};
