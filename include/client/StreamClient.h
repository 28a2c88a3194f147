// The stream client library: a table of up to 100 RTSP players addressed by small integer
// handles. A host starts the library once with InitStreamClientLib, creates a player, opens
// an "rtsp://" URL with it and then receives the stream either through its DataCallBack or,
// with a window, through the player SDK.
//
// Results: -1 for every failure; 1 for success of QRLS_OpenURL, QRLS_Play, QRLS_RandomPlay,
// QRLS_Pause and QRLS_Resume; 0 for success of the others; a length or a handle where one is
// asked for. Times are in 1/64 second; -1 means unknown (a live stream).
//
// Threads: any host thread may call any function; calls for one handle are serialised. No
// callback (data, sink or message) is made while the library holds a lock, so a callback may
// call any function of the library, for its own handle too, QRLS_Stop and QRLS_Destroy
// included; the call ends that player, and the library's thread making the callback finishes
// once the callback returns. The open notifications (header data, OnTotalTime,
// OnPresentationOpened, MSG_TOTAL_TIME, MSG_OPEN_RESULT) arrive on the thread calling
// QRLS_OpenURL before it returns, and stream data only after them. Stream data arrives on the
// player's receive thread; MSG_DISCONNECTED (with OnDisconnected) on the keep-alive thread
// when keep-alives go unanswered, or once on the receive thread when the server closes the TCP
// media connection, which ends reception. Once QRLS_Stop or QRLS_Destroy returned (called
// from outside a callback) no further callback comes for that player. Buffers passed to the
// host belong to the library and are valid only during the call.
#pragma once

#define QRLS_API extern "C" __attribute__((visibility("default")))

// dataType of DataCallBack.
enum { DATA_HEADER = 0, DATA_STREAM = 1 };

// msg of MsgFunc.
enum {
  MSG_TOTAL_TIME = 1,     // param1: total time in 1/64 s, -1 for a live stream
  MSG_OPEN_RESULT = 2,    // param1: 1 opened, 0 failed
  MSG_DISCONNECTED = 14,  // keep-alive lost, or the server closed the TCP media connection
};

// Results of both callbacks are ignored by the library.
typedef int (*DataCallBack)(int handle, int userData, int dataType, unsigned char* buffer,
                            int length);
typedef int (*MsgFunc)(int handle, int msg, int param1, int param2);

// The host's notification object. The library calls slots 0, 1 and 13 only; the slot order is
// part of the contract, so the class has no virtual destructor (it would take slots) and the
// host keeps ownership of the object.
class StreamSink {
 public:
  virtual int OnTotalTime(int totalTime) = 0;  // 1/64 s; -1 (0xFFFFFFFF) when live
  virtual int OnPresentationOpened(int ok) = 0;
  virtual int OnPresentationClosed() = 0;
  virtual int OnReserved3(int value1, int value2) = 0;
  virtual int OnReserved4(int value1, int value2) = 0;
  virtual int OnReserved5() = 0;
  virtual int OnReserved6(int value) = 0;
  virtual int OnReserved7(int value) = 0;
  virtual int OnReserved8(int value) = 0;
  virtual int OnReserved9(int value) = 0;
  virtual int OnReserved10(int value) = 0;
  virtual int OnReserved11(int value1, int value2) = 0;
  virtual int OnReserved12(int value) = 0;
  virtual int OnDisconnected() = 0;

 protected:
  ~StreamSink() = default;
};

// A sink whose reserved notices are ignored: hosts override only the notices they act on.
class StreamSinkDefaults : public StreamSink {
 public:
  int OnReserved3(int, int) override { return 0; }
  int OnReserved4(int, int) override { return 0; }
  int OnReserved5() override { return 0; }
  int OnReserved6(int) override { return 0; }
  int OnReserved7(int) override { return 0; }
  int OnReserved8(int) override { return 0; }
  int OnReserved9(int) override { return 0; }
  int OnReserved10(int) override { return 0; }
  int OnReserved11(int, int) override { return 0; }
  int OnReserved12(int) override { return 0; }

 protected:
  ~StreamSinkDefaults() = default;
};

QRLS_API int InitStreamClientLib();
QRLS_API int FiniStreamClientLib();

// transport: 0 selects TCP media transport, any other value UDP.
QRLS_API int QRLS_CreatePlayer(StreamSink* pSink, int window, DataCallBack data,
                               MsgFunc pMsgFunc, int transport);
// 1 only when the stream is open. A SETUP answered with a redirect (301, 302, 303) is followed
// to its "Location", an rtsp URL with a dotted IPv4 host, at most 3 times; any other answer
// but 200 fails the open (-1, and MSG_OPEN_RESULT 0). UDP media is taken only from the
// server's address and media port.
QRLS_API int QRLS_OpenURL(int handle, const char* url, int userData);
QRLS_API int QRLS_Play(int handle);
QRLS_API int QRLS_RandomPlay(int handle, int position);
QRLS_API int QRLS_Pause(int handle);
QRLS_API int QRLS_Resume(int handle);
QRLS_API int QRLS_ChangeRate(int handle, int scale);
QRLS_API int QRLS_GetCurTime(int handle, int* time);
QRLS_API int QRLS_Stop(int handle);
QRLS_API int QRLS_Destroy(int handle);
QRLS_API int QRLS_SetVolume(int handle, int volume);
QRLS_API int QRLS_GetVideoParams(int handle, int* brightness, int* contrast, int* saturation,
                                 int* hue);
QRLS_API int QRLS_SetVideoParams(int handle, int brightness, int contrast, int saturation,
                                 int hue);
QRLS_API int QRLS_PTZControl(int handle, int command, int param1, int param2, int param3,
                             int param4);
QRLS_API int QRLS_ThrowBFrameNum(int handle, int count);
QRLS_API int QRLS_OpenSound(int handle, int exclusive);
QRLS_API int QRLS_CloseSound(int handle);
// Writes the next displayed frame to path (type 0 BMP, 1 JPEG); 0 once written, -1 when no
// frame was shown within 20 s.
QRLS_API int QRLS_GrabPic(int handle, const char* path, int type);
QRLS_API int QRLS_ResetWndHandle(int handle, int window);
QRLS_API int QRLS_ResetDataCallBack(int handle, DataCallBack data);
QRLS_API int QRLS_GetHeader(int handle, unsigned char* buffer, int size);
QRLS_API int QRLS_RefreshPlay(int handle);
