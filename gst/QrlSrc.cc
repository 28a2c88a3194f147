// qrlsrc as a GStreamer element: the URI handler, properties, state changes, queries, seeking
// and the streaming thread's reads. The sessions themselves are run by NetStream.
#include "QrlSrc.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "NetStream.h"
#include "StreamBufferQueue.h"

GST_DEBUG_CATEGORY_STATIC(qrl_src_debug);
#define GST_CAT_DEFAULT qrl_src_debug

namespace recastgst {

using Clock = std::chrono::steady_clock;

// What the element keeps beside its GObject parts.
struct SrcState {
  // Properties; guarded by the object lock.
  std::string uri;
  bool recorded = false;
  guint idleEnd = 0;

  // Made by start, let go by stop; between the two only the streaming thread reads from it, and
  // state changes and seeks drive it (NetStream serialises them).
  std::unique_ptr<NetStream> stream;
  std::atomic<bool> flushing{false};  // unlock() asks the read to give up
  std::atomic<bool> running{false};   // the back end delivers (not paused by us)
  // What queries answer from any thread, taken when the stream opened.
  std::atomic<bool> seekable{false};
  std::atomic<gint64> duration{0};  // nanoseconds; 0 when not known

  // Streaming thread, or a seek holding the stream lock.
  bool headerSent = false;
  bool delivered = false;  // stream bytes went out since the start or the last seek
  gint64 origin = 0;       // where the stream went out from, in nanoseconds
  Clock::time_point lastData;
};

}  // namespace recastgst

struct _GstQrlSrc {
  GstBaseSrc parent;
  recastgst::SrcState* state;
};

static void UriHandlerInit(gpointer iface, gpointer data);

G_DEFINE_TYPE_WITH_CODE(GstQrlSrc, gst_qrl_src, GST_TYPE_BASE_SRC,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_URI_HANDLER, UriHandlerInit));
GST_ELEMENT_REGISTER_DEFINE(qrlsrc, "qrlsrc", GST_RANK_PRIMARY, GST_TYPE_QRL_SRC);

namespace recastgst {
namespace {

enum { kPropLocation = 1, kPropIdleEnd };

// A recorded stream whose running back end sends nothing for this long has played to its end.
constexpr guint kDefaultIdleEnd = 5;
// The streaming thread wakes at least this often to look for a flush while no data comes.
constexpr auto kReadPoll = std::chrono::milliseconds(100);
// How late a live stream's pictures may be shown: the network and decoding need the time.
constexpr GstClockTime kLiveLatency = 300 * GST_MSECOND;
// Recorder lengths count 100 ns units.
constexpr gint64 kNanosecondsPerUnit = 100;

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-recorder-stream"));

GstQrlSrc* SrcOf(gpointer object) { return GST_QRL_SRC(object); }
SrcState& StateOf(gpointer object) { return *SrcOf(object)->state; }

// ---- URI and properties --------------------------------------------------------------------

gboolean SetUri(GstQrlSrc* src, const gchar* uri, GError** error) {
  GST_OBJECT_LOCK(src);
  const bool busy = GST_STATE(src) >= GST_STATE_PAUSED;
  GST_OBJECT_UNLOCK(src);
  if (busy) {
    g_set_error(error, GST_URI_ERROR, GST_URI_ERROR_BAD_STATE,
                "The URI of a running source cannot change");
    return FALSE;
  }
  bool recorded = false;
  std::string reason;
  if (!uri || !NetStream::Check(uri, recorded, reason)) {
    g_set_error(error, GST_URI_ERROR, GST_URI_ERROR_BAD_URI, "Bad recorder URL '%s': %s",
                uri ? uri : "(null)", reason.c_str());
    return FALSE;
  }
  GST_OBJECT_LOCK(src);
  src->state->uri = uri;
  src->state->recorded = recorded;
  GST_OBJECT_UNLOCK(src);
  // A live source produces nothing while paused and stamps what it reads with the clock, so
  // the demuxer can place the recorder's own clock on the pipeline's.
  gst_base_src_set_live(GST_BASE_SRC(src), !recorded);
  gst_base_src_set_do_timestamp(GST_BASE_SRC(src), !recorded);
  return TRUE;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  GstQrlSrc* src = SrcOf(object);
  switch (id) {
    case kPropLocation: {
      GError* error = nullptr;
      if (!SetUri(src, g_value_get_string(value), &error)) {
        GST_WARNING_OBJECT(src, "%s", error->message);
        g_clear_error(&error);
      }
      break;
    }
    case kPropIdleEnd:
      GST_OBJECT_LOCK(src);
      src->state->idleEnd = g_value_get_uint(value);
      GST_OBJECT_UNLOCK(src);
      break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  GstQrlSrc* src = SrcOf(object);
  GST_OBJECT_LOCK(src);
  switch (id) {
    case kPropLocation:
      g_value_set_string(value, src->state->uri.empty() ? nullptr : src->state->uri.c_str());
      break;
    case kPropIdleEnd: g_value_set_uint(value, src->state->idleEnd); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
  GST_OBJECT_UNLOCK(src);
}

// ---- Start and stop ------------------------------------------------------------------------

gboolean Start(GstBaseSrc* base) {
  SrcState& state = StateOf(base);
  GST_OBJECT_LOCK(base);
  const std::string uri = state.uri;
  GST_OBJECT_UNLOCK(base);
  if (uri.empty()) {
    GST_ELEMENT_ERROR(base, RESOURCE, NOT_FOUND, ("No recorder URL given."), (nullptr));
    return FALSE;
  }
  auto stream = std::make_unique<NetStream>();
  std::string reason;
  if (!stream->Open(uri, reason)) {
    GST_ELEMENT_ERROR(base, RESOURCE, OPEN_READ, ("Could not open the recorder URL \"%s\".",
                                                  uri.c_str()),
                      ("%s", reason.c_str()));
    return FALSE;
  }
  state.seekable = stream->Seekable();
  state.duration = stream->Duration() * kNanosecondsPerUnit;
  state.stream = std::move(stream);
  state.headerSent = false;
  state.delivered = false;
  state.origin = 0;
  state.lastData = Clock::now();
  state.running = true;  // every session streams from the moment it opened
  return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
  SrcState& state = StateOf(base);
  state.running = false;
  state.seekable = false;
  state.duration = 0;
  if (state.stream) state.stream->Close();
  state.stream.reset();
  return TRUE;
}

gboolean IsSeekable(GstBaseSrc* base) { return StateOf(base).seekable; }

// ---- Reading -------------------------------------------------------------------------------

GstBuffer* HeaderBuffer(const NetStream& stream) {
  const netsource::HeaderBytes header = stream.Header();
  return gst_buffer_new_memdup(header.data(), header.size());
}

// Whether a recorded stream's running back end has been silent long enough to be at its end.
bool PlayedToTheEnd(GstBaseSrc* base, SrcState& state) {
  GST_OBJECT_LOCK(base);
  const guint idleEnd = state.recorded ? state.idleEnd : 0;
  GST_OBJECT_UNLOCK(base);
  const auto now = Clock::now();
  if (!state.running) state.lastData = now;  // a pause is not silence
  return idleEnd > 0 && now - state.lastData >= std::chrono::seconds(idleEnd);
}

GstFlowReturn Create(GstBaseSrc* base, guint64, guint, GstBuffer** out) {
  SrcState& state = StateOf(base);
  if (!state.stream) return GST_FLOW_FLUSHING;
  if (!state.headerSent) {
    // The completed header goes first; the queued copy as received follows in the stream,
    // where the demuxer passes over it.
    state.stream->StreamStarts();
    state.headerSent = true;
    state.lastData = Clock::now();
    *out = HeaderBuffer(*state.stream);
    return GST_FLOW_OK;
  }
  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, netsource::kNodeBufferSize, nullptr);
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_WRITE);
  for (;;) {
    if (state.flushing) break;
    netsource::FillTarget target{map.data, map.size};
    const HRESULT hr = state.stream->Fill(target);
    if (hr == S_OK) {
      gst_buffer_unmap(buffer, &map);
      gst_buffer_set_size(buffer, static_cast<gssize>(target.length));
      state.delivered = true;
      state.lastData = Clock::now();
      *out = buffer;
      return GST_FLOW_OK;
    }
    if (hr == S_FALSE || (hr == netsource::NETSRC_S_NODATA && PlayedToTheEnd(base, state))) {
      gst_buffer_unmap(buffer, &map);
      gst_buffer_unref(buffer);
      return GST_FLOW_EOS;
    }
    if (hr != netsource::NETSRC_S_NODATA) {
      gst_buffer_unmap(buffer, &map);
      gst_buffer_unref(buffer);
      GST_ELEMENT_ERROR(base, RESOURCE, READ, ("The recorder stream failed."),
                        ("fill result %#x", static_cast<unsigned>(hr)));
      return GST_FLOW_ERROR;
    }
    state.stream->WaitForData(kReadPoll);
  }
  gst_buffer_unmap(buffer, &map);
  gst_buffer_unref(buffer);
  return GST_FLOW_FLUSHING;
}

gboolean Unlock(GstBaseSrc* base) {
  SrcState& state = StateOf(base);
  state.flushing = true;
  if (state.stream) state.stream->Wake();
  return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base) {
  StateOf(base).flushing = false;
  return TRUE;
}

// ---- Seeking and queries -------------------------------------------------------------------

gboolean DoSeek(GstBaseSrc* base, GstSegment* segment) {
  SrcState& state = StateOf(base);
  segment->time = segment->start;
  segment->position = segment->start;
  const auto target = static_cast<gint64>(segment->start);
  // The seek that starts streaming asks for where the stream already is.
  if (!state.delivered && target == state.origin) return TRUE;
  if (!state.stream || !state.stream->Seekable()) return FALSE;
  if (FAILED(state.stream->Seek(target / kNanosecondsPerUnit))) return FALSE;
  state.origin = target;
  state.delivered = false;
  state.running = true;  // a seek plays on
  state.lastData = Clock::now();
  return TRUE;
}

gboolean Query(GstBaseSrc* base, GstQuery* query) {
  const gint64 duration = StateOf(base).duration;
  GstFormat format;
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION:
      gst_query_parse_duration(query, &format, nullptr);
      if (format != GST_FORMAT_TIME || duration <= 0) return FALSE;
      gst_query_set_duration(query, GST_FORMAT_TIME, duration);
      return TRUE;
    case GST_QUERY_SEEKING:
      gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
      if (format != GST_FORMAT_TIME) break;
      gst_query_set_seeking(query, GST_FORMAT_TIME, IsSeekable(base), 0,
                            duration > 0 ? duration : -1);
      return TRUE;
    case GST_QUERY_LATENCY:
      if (!gst_base_src_is_live(base)) break;
      gst_query_set_latency(query, TRUE, kLiveLatency, GST_CLOCK_TIME_NONE);
      return TRUE;
    default: break;
  }
  return GST_BASE_SRC_CLASS(gst_qrl_src_parent_class)->query(base, query);
}

// ---- State ---------------------------------------------------------------------------------

// The graph's Run and Pause, as the network source passes them to its session. A recorded
// stream is not paused at its back end: a paused pipeline must still be able to preroll, and
// a full queue holds the back end where it is until the player reads on.
GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  SrcState& state = StateOf(element);
  if (transition == GST_STATE_CHANGE_PAUSED_TO_PLAYING && state.stream) {
    state.stream->Run();
    state.running = true;
  }
  const GstStateChangeReturn result =
      GST_ELEMENT_CLASS(gst_qrl_src_parent_class)->change_state(element, transition);
  if (transition == GST_STATE_CHANGE_PLAYING_TO_PAUSED && state.stream &&
      !state.stream->Recorded()) {
    state.running = false;
    state.stream->Pause();
  }
  return result;
}

}  // namespace
}  // namespace recastgst

// ---- GObject -------------------------------------------------------------------------------

static GstURIType UriType(GType) { return GST_URI_SRC; }
static const gchar* const* UriProtocols(GType) { return recastgst::NetStream::kProtocols; }

static gchar* UriGet(GstURIHandler* handler) {
  GstQrlSrc* src = GST_QRL_SRC(handler);
  GST_OBJECT_LOCK(src);
  gchar* uri = src->state->uri.empty() ? nullptr : g_strdup(src->state->uri.c_str());
  GST_OBJECT_UNLOCK(src);
  return uri;
}

static gboolean UriSet(GstURIHandler* handler, const gchar* uri, GError** error) {
  return recastgst::SetUri(GST_QRL_SRC(handler), uri, error);
}

static void UriHandlerInit(gpointer iface, gpointer) {
  auto* handler = static_cast<GstURIHandlerInterface*>(iface);
  handler->get_type = UriType;
  handler->get_protocols = UriProtocols;
  handler->get_uri = UriGet;
  handler->set_uri = UriSet;
}

static void gst_qrl_src_finalize(GObject* object) {
  GstQrlSrc* src = GST_QRL_SRC(object);
  delete src->state;
  src->state = nullptr;
  G_OBJECT_CLASS(gst_qrl_src_parent_class)->finalize(object);
}

static void gst_qrl_src_class_init(GstQrlSrcClass* klass) {
  using namespace recastgst;
  GST_DEBUG_CATEGORY_INIT(qrl_src_debug, "qrlsrc", 0, "recorder URL source");
  GObjectClass* object = G_OBJECT_CLASS(klass);
  object->finalize = gst_qrl_src_finalize;
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  g_object_class_install_property(
      object, kPropLocation,
      g_param_spec_string("location", "Location",
                          "The recorder URL (ntrt, ntfl, Real, svrt or svfl)", nullptr,
                          static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
  g_object_class_install_property(
      object, kPropIdleEnd,
      g_param_spec_uint("idle-end", "Idle end",
                        "Seconds without data after which a recorded stream has ended (0: never)",
                        0, G_MAXUINT, kDefaultIdleEnd,
                        static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  element->change_state = ChangeState;
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "Recorder URL source", "Source/Network",
                                        "Streams from recorders and stream servers",
                                        "Recast for Linux");

  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  base->start = Start;
  base->stop = Stop;
  base->is_seekable = IsSeekable;
  base->create = Create;
  base->unlock = Unlock;
  base->unlock_stop = UnlockStop;
  base->do_seek = DoSeek;
  base->query = Query;
}

static void gst_qrl_src_init(GstQrlSrc* src) {
  src->state = new recastgst::SrcState;
  src->state->idleEnd = recastgst::kDefaultIdleEnd;
  gst_base_src_set_format(GST_BASE_SRC(src), GST_FORMAT_TIME);
}
