#include "RecorderTypeFind.h"

#include <algorithm>

#include "RecorderCaps.h"
#include "recorder/StreamFormat.h"

namespace recastgst {
namespace {

// Damage before the first group is looked through this far; the search stays cheap because a
// group start needs a zero-padded word 1.
constexpr guint kSearchWindow = 64 * 1024;
// The first group is followed through at most this many bytes.
constexpr size_t kLargestCheckedGroup = 1 << 20;

enum class GroupCheck { Complete, Plausible, No };

// Whether a whole, valid group starts at `offset`, peeking as much of it as it claims.
GroupCheck CheckGroupAt(GstTypeFind* find, guint64 offset) {
  size_t want = recorder::kGroupHeaderSize;
  for (;;) {
    const guint8* data = gst_type_find_peek(find, static_cast<gint64>(offset), static_cast<guint>(want));
    if (!data) return want > recorder::kGroupHeaderSize ? GroupCheck::Plausible : GroupCheck::No;
    if (!recorder::IsGroupStart(data, want)) return GroupCheck::No;
    recorder::GroupView view;
    size_t needed = 0;
    switch (recorder::ParseGroup(data, data + want, view, &needed)) {
      case recorder::ParseResult::Complete: return GroupCheck::Complete;
      case recorder::ParseResult::Invalid: return GroupCheck::No;
      case recorder::ParseResult::Incomplete:
        if (needed <= want || needed > kLargestCheckedGroup) return GroupCheck::Plausible;
        want = needed;
        break;
    }
  }
}

// A valid group somewhere after damage that follows the FileHeader.
bool GroupBehindDamage(GstTypeFind* find) {
  const guint64 length = gst_type_find_get_length(find);
  guint window = kSearchWindow;
  if (length > recorder::kFileHeaderSize)
    window = static_cast<guint>(std::min<guint64>(window, length - recorder::kFileHeaderSize));
  const guint8* data = nullptr;
  while (window >= recorder::kGroupHeaderSize &&
         !(data = gst_type_find_peek(find, recorder::kFileHeaderSize, window)))
    window /= 2;
  if (!data) return false;
  for (guint p = 1; p + recorder::kGroupHeaderSize <= window; ++p) {
    if (!recorder::IsGroupStart(data + p, window - p)) continue;
    if (CheckGroupAt(find, recorder::kFileHeaderSize + p) == GroupCheck::Complete) return true;
  }
  return false;
}

void FindRecorderStream(GstTypeFind* find, gpointer) {
  const guint8* head = gst_type_find_peek(find, 0, recorder::kFileHeaderSize);
  if (!head) return;
  const auto header = recorder::ParseFileHeader(recorder::ByteSpan(head, recorder::kFileHeaderSize));
  if (!header || !recorder::IsRecorderMagic(header->magic)) return;
  GstTypeFindProbability probability = GST_TYPE_FIND_NONE;
  switch (CheckGroupAt(find, recorder::kFileHeaderSize)) {
    case GroupCheck::Complete: probability = GST_TYPE_FIND_MAXIMUM; break;
    case GroupCheck::Plausible: probability = GST_TYPE_FIND_LIKELY; break;
    case GroupCheck::No:
      if (GroupBehindDamage(find)) probability = GST_TYPE_FIND_NEARLY_CERTAIN;
      break;
  }
  if (probability != GST_TYPE_FIND_NONE)
    gst_type_find_suggest_empty_simple(find, probability, kRecorderStreamMediaType);
}

}  // namespace

gboolean RegisterRecorderTypeFind(GstPlugin* plugin) {
  GstCaps* caps = gst_caps_new_empty_simple(kRecorderStreamMediaType);
  // Above the MP4 finder (primary), which would otherwise be tried first for ".mp4" names.
  const gboolean registered =
      gst_type_find_register(plugin, "recorder-stream", GST_RANK_PRIMARY + 1, FindRecorderStream,
                             "mp4,264,qrl", caps, nullptr, nullptr);
  gst_caps_unref(caps);
  return registered;
}

}  // namespace recastgst
