// The header mend: a hand-made header with the muxer's layout (content description with the
// title only, the description among the extended content), then one field changed per
// failure case.
#include "AsfHeaderFix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kHeaderGuid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kContentGuid = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kExtendedGuid = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                             0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const Bytes kPaddingGuid = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                            0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};
const Bytes kOtherGuid(16, 0x5A);

void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put64(Bytes& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
uint64_t Get64(const Bytes& b, size_t at) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t(b[at + i]) << (8 * i);
  return v;
}
uint16_t Get16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// UTF-16LE with its terminating null, as the muxer writes strings.
Bytes Wide(const std::string& text) {
  Bytes b;
  for (char c : text) Put16(b, uint16_t(c));
  Put16(b, 0);
  return b;
}

Bytes Object(const Bytes& guid, const Bytes& body) {
  Bytes b = guid;
  Put64(b, 24 + body.size());
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes ContentBody(const std::string& title, const std::string& description) {
  const Bytes t = Wide(title);
  const Bytes d = description.empty() ? Bytes{} : Wide(description);
  Bytes body;
  for (size_t length : {t.size(), size_t{0}, size_t{0}, d.size(), size_t{0}}) Put16(body, uint16_t(length));
  body.insert(body.end(), t.begin(), t.end());
  body.insert(body.end(), d.begin(), d.end());
  return body;
}

Bytes Entry(const std::string& name, const std::string& value) {
  Bytes b;
  const Bytes n = Wide(name), v = Wide(value);
  Put16(b, uint16_t(n.size()));
  b.insert(b.end(), n.begin(), n.end());
  Put16(b, 0);  // a string
  Put16(b, uint16_t(v.size()));
  b.insert(b.end(), v.begin(), v.end());
  return b;
}

Bytes ExtendedBody(const std::vector<Bytes>& entries) {
  Bytes body;
  Put16(body, uint16_t(entries.size()));
  for (const Bytes& e : entries) body.insert(body.end(), e.begin(), e.end());
  return body;
}

Bytes Header(const std::vector<Bytes>& children) {
  Bytes b = kHeaderGuid;
  size_t size = 30;
  for (const Bytes& c : children) size += c.size();
  Put64(b, size);
  Put16(b, uint16_t(children.size()));
  Put16(b, 0);
  b.push_back(1);
  b.push_back(2);
  for (const Bytes& c : children) b.insert(b.end(), c.begin(), c.end());
  return b;
}

Bytes MuxerHeader(const std::string& description = "Powered by Nivel Labs @_@") {
  return Header({Object(kOtherGuid, Bytes(40, 1)),
                 Object(kContentGuid, ContentBody("ASF Clip", "")),
                 Object(kExtendedGuid, ExtendedBody({Entry("title", "ASF Clip"),
                                                     Entry("Description", description),
                                                     Entry("WM/EncodingSettings", "Lavf")})),
                 Object(kOtherGuid, Bytes(60, 2))});
}

TEST(AsfHeaderFixTest, MovesDescriptionIntoContentDescriptionKeepingTheSize) {
  Bytes header = MuxerHeader();
  const size_t size = header.size();
  ASSERT_EQ(MoveDescriptionIntoContentDescription(header), HeaderFix::kMended);
  const Bytes expected = Header(
      {Object(kOtherGuid, Bytes(40, 1)),
       Object(kContentGuid, ContentBody("ASF Clip", "Powered by Nivel Labs @_@")),
       Object(kExtendedGuid,
              ExtendedBody({Entry("title", "ASF Clip"), Entry("WM/EncodingSettings", "Lavf")})),
       Object(kOtherGuid, Bytes(60, 2)), Object(kPaddingGuid, Bytes(6, 0))});
  EXPECT_EQ(header.size(), size);
  EXPECT_EQ(header, expected);
  EXPECT_EQ(Get64(header, 16), size);
  EXPECT_EQ(Get16(header, 24), 5);  // one object more: the padding
}

TEST(AsfHeaderFixTest, LeavesHeadersWithoutWorkAlone) {
  Bytes no_description = Header({Object(kContentGuid, ContentBody("ASF Clip", "")),
                                 Object(kExtendedGuid, ExtendedBody({Entry("title", "x")}))});
  Bytes already = Header({Object(kContentGuid, ContentBody("ASF Clip", "kept")),
                          Object(kExtendedGuid, ExtendedBody({Entry("Description", "other")}))});
  Bytes no_content = Header({Object(kExtendedGuid, ExtendedBody({Entry("Description", "d")}))});
  for (Bytes* header : {&no_description, &already, &no_content}) {
    const Bytes before = *header;
    EXPECT_EQ(MoveDescriptionIntoContentDescription(*header), HeaderFix::kNothingToDo);
    EXPECT_EQ(*header, before);
  }
}

TEST(AsfHeaderFixTest, RefusesDamagedHeadersWithoutChangingThem) {
  const Bytes good = MuxerHeader();
  const size_t content = 30 + 64;     // the content description object
  const size_t extended = content + 24 + 10 + Wide("ASF Clip").size();
  std::vector<Bytes> damaged(6, good);
  damaged[0][16] ^= 1;                             // header size disagrees with the bytes
  damaged[1][30 + 18] = 0xFF;                      // a child runs past the header
  damaged[2][content + 24] = 0x40;                 // title length past the object
  damaged[3][extended + 24] = 9;                   // more entries than the object holds
  damaged[4][extended + 26] = 0xFF;                // first entry's name past the object
  damaged[5].resize(20);                           // not even an object header
  for (size_t i = 0; i < damaged.size(); ++i) {
    Bytes header = damaged[i];
    EXPECT_EQ(MoveDescriptionIntoContentDescription(header), HeaderFix::kMalformed) << i;
    EXPECT_EQ(header, damaged[i]) << i;
  }
}

TEST(AsfHeaderFixTest, HeaderSizeNeedsTheHeaderObject) {
  const Bytes header = MuxerHeader();
  EXPECT_EQ(AsfHeaderSize(header), header.size());
  Bytes other = header;
  other[0] ^= 0xFF;
  EXPECT_EQ(AsfHeaderSize(other), 0u);
  EXPECT_EQ(AsfHeaderSize(Bytes(kHeaderGuid.begin(), kHeaderGuid.end())), 0u);
}

}  // namespace
