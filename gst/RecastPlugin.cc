// The recast plugin: what lets every GStreamer player open recorder files.
#include <gst/gst.h>

#include "QrlDemux.h"
#include "QrlSrc.h"
#include "RecorderTypeFind.h"

#define PACKAGE "recast"
#define VERSION "1.0"
#define GST_PACKAGE_NAME "Recast for Linux"
#define GST_PACKAGE_ORIGIN "https://localhost/recast"

static gboolean plugin_init(GstPlugin* plugin) {
  gboolean ok = recastgst::RegisterRecorderTypeFind(plugin);
  ok &= GST_ELEMENT_REGISTER(qrldemux, plugin);
  ok &= GST_ELEMENT_REGISTER(qrlsrc, plugin);
  return ok;
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, recast,
                  "Recorder streams: type finder, demuxer and URL source", plugin_init, VERSION,
                  "Proprietary", GST_PACKAGE_NAME, GST_PACKAGE_ORIGIN)
