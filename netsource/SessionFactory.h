// SessionFactory: from a parsed source request to an opened back-end session, and the test a
// stream's header must pass before anything downstream is told about it. Every host of the
// sessions (the QrlNetSource filter, the GStreamer source element) opens them through here.
#pragma once

#include <chrono>
#include <memory>

#include "SourceUrl.h"
#include "StreamSession.h"

namespace netsource {

// How long a host waits, after the session opened, for the first group to complete the header.
inline constexpr std::chrono::milliseconds kStreamReadyWait{3000};

// Creates the session `request` selects and opens it. E_FAIL when it does not open (the
// session is gone again); a legacy start returns its own error.
HRESULT CreateSession(const SourceRequest& request, const SessionContext& context,
                      std::unique_ptr<StreamSession>& session);

// Whether a stream header names a stream the recorder decoders play: an H.264 or MPEG-4
// family magic and a PAL or NTSC video standard.
bool HeaderIsPlayable(const HeaderBytes& bytes);

}  // namespace netsource
