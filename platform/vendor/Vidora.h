// Vidora: the recorder maker's player SDK. A host opens one of 100 ports with the 40-byte
// stream header, feeds the recorder stream (the groups, cut anywhere) with Vidora_InputData,
// and the port decodes the video, paces it in real time, paints it into the frame sink
// registered for the window it plays into and hands each decoded picture to the display
// callback.
//
// Conventions:
// - Ports are 0 to 99; a call naming any other port fails.
// - Every BOOL result is non-zero on success and FALSE on failure.
// - Times are milliseconds of stream time.
// - Pictures given to the display callback are YV12: the Y plane (width x height), then the
//   V plane, then the U plane (each ((width+1)/2) x ((height+1)/2)), rows packed without
//   padding;
//   the frame type argument is VIDORA_FRAME_YV12.
// - Every function may be called from any thread; the calls for one port are serialised by
//   the port. The display callback runs on the port's playing thread; it may call any
//   function of this SDK except Vidora_CloseStream, Vidora_Stop and Vidora_Play for its own
//   port (those wait for the playing thread).
#pragma once

#include "WinTypes.h"

#define VIDORA_API extern "C" __attribute__((visibility("default")))

constexpr LONG VIDORA_MAX_PORT = 100;  // ports are 0 .. VIDORA_MAX_PORT - 1

// Stream open modes (Vidora_SetStreamOpenMode), fixed before Vidora_OpenStream.
constexpr DWORD VIDORA_STREAM_REALTIME = 0;  // a live stream: no end, no seeking
constexpr DWORD VIDORA_STREAM_FILE = 1;      // a recorded stream replayed from a server

// Source buffer sizes accepted by Vidora_OpenStream.
constexpr DWORD VIDORA_MIN_SOURCE_BUFFER = 64 * 1024;
constexpr DWORD VIDORA_MAX_SOURCE_BUFFER = 64 * 1024 * 1024;

// Frame types of the display callback and the picture conversions.
constexpr LONG VIDORA_FRAME_YV12 = 3;

// Playing speed steps: Vidora_Fast doubles and Vidora_Slow halves the rate, within
// 1/16 .. 16 times normal speed.
constexpr LONG VIDORA_MAX_SPEED_STEP = 4;

// Vidora_SetVolume takes 0 (mute) .. 0xFFFF (full).
constexpr WORD VIDORA_MAX_VOLUME = 0xFFFF;

// The display callback: port, picture, picture size in bytes, width, height, time stamp of
// the picture (ms), frame type (VIDORA_FRAME_YV12), reserved (0). The picture is valid only
// during the call.
using VidoraDisplayCallBack = void (*)(LONG port, BYTE* buffer, LONG size, LONG width,
                                       LONG height, LONG timeStamp, LONG frameType,
                                       LONG reserved);

// ---- Opening and feeding -----------------------------------------------------------------

// Chooses how the next Vidora_OpenStream on the port treats the stream
// (VIDORA_STREAM_REALTIME or VIDORA_STREAM_FILE); a stream already open keeps its mode.
VIDORA_API BOOL Vidora_SetStreamOpenMode(LONG port, DWORD mode);

// Opens the port on a stream whose 40-byte FileHeader is `header` (`headerSize` must be at
// least 40; bytes past the FileHeader are ignored). The magic selects the video decoder;
// `bufferPoolSize` bytes of not yet decoded stream may wait in the source buffer. Fails when
// the port is already open, the header is short or names no video family we decode.
VIDORA_API BOOL Vidora_OpenStream(LONG port, BYTE* header, DWORD headerSize,
                                  DWORD bufferPoolSize);

// Stops the port and closes its stream; the port can be opened again.
VIDORA_API BOOL Vidora_CloseStream(LONG port);

// Appends stream bytes (groups cut anywhere) to the source buffer. Fails, taking nothing,
// when the bytes do not fit in the free part of the source buffer: the caller tries again
// once the player has consumed some.
VIDORA_API BOOL Vidora_InputData(LONG port, BYTE* buffer, DWORD size);

// Drops whatever waits in the source buffer; decoding resumes at the next group start.
VIDORA_API BOOL Vidora_ResetSourceBuffer(LONG port);

// ---- Playing -----------------------------------------------------------------------------

// Starts playing into `window` (0: no painting; the display callback and the played time
// work all the same). Playing again after Vidora_Stop starts the played time from 0.
VIDORA_API BOOL Vidora_Play(LONG port, HWND window);

// `pause` non-zero pauses, zero resumes. Only while playing.
VIDORA_API BOOL Vidora_Pause(LONG port, DWORD pause);

// Stops playing; the played time returns to 0. The stream stays open.
VIDORA_API BOOL Vidora_Stop(LONG port);

// Milliseconds of stream played since Vidora_Play (0 when the port is not open).
VIDORA_API DWORD Vidora_GetPlayedTimeEx(LONG port);

// One speed step faster or slower (see VIDORA_MAX_SPEED_STEP). Fail at the limit and on a
// VIDORA_STREAM_REALTIME stream. The speed holds until the stream is closed.
VIDORA_API BOOL Vidora_Fast(LONG port);
VIDORA_API BOOL Vidora_Slow(LONG port);

// Paints the last decoded picture again into the window's frame sink.
VIDORA_API BOOL Vidora_RefreshPlay(LONG port);

// The number of B frames the decoder may skip when it falls behind: 0 decodes every frame,
// any other value lets it drop B frames. Needs only a valid port.
VIDORA_API BOOL Vidora_ThrowBFrameNum(LONG port, DWORD num);

// ---- Sound -------------------------------------------------------------------------------

// Exclusive sound: the port becomes the only one that sounds (others' shared sound stops).
VIDORA_API BOOL Vidora_PlaySound(LONG port);
// Ends the exclusive sound, whichever port holds it.
VIDORA_API BOOL Vidora_StopSound();
// Shared sound: the port sounds together with other sharing ports.
VIDORA_API BOOL Vidora_PlaySoundShare(LONG port);
VIDORA_API BOOL Vidora_StopSoundShare(LONG port);

// 0 .. VIDORA_MAX_VOLUME. Needs an open stream.
VIDORA_API BOOL Vidora_SetVolume(LONG port, WORD volume);

// ---- Pictures ----------------------------------------------------------------------------

// Installs (or, with nullptr, removes) the port's display callback. Needs a valid port only,
// so that it may be set before the stream opens and removed from inside the callback.
VIDORA_API BOOL Vidora_SetDisplayCallBack(LONG port, VidoraDisplayCallBack callback);

// Write a picture given by the display callback (its buffer, size, width, height and frame
// type) to `fileName` as a 24-bit BMP or a baseline JPEG. Fail on a size that does not
// match the frame type, an unknown frame type or a file that cannot be written.
VIDORA_API BOOL Vidora_ConvertToBmpFile(BYTE* buffer, LONG size, LONG width, LONG height,
                                        LONG frameType, const char* fileName);
VIDORA_API BOOL Vidora_ConvertToJpegFile(BYTE* buffer, LONG size, LONG width, LONG height,
                                         LONG frameType, const char* fileName);
