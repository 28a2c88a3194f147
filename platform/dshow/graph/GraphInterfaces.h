// The application's side of a filter graph: building (IGraphBuilder), running (IMediaControl),
// events (IMediaEvent, IMediaEventEx) and the renderer controls the graph forwards (IBasicVideo,
// IBasicAudio, IVideoWindow, IVideoFrameStep), with the class identifiers of the graph and the
// system clock. Methods keep the order of their platform declarations.
//
// The renderer controls are written as method lists (X-macros) so that an interface, a
// forwarder and an implementation are all generated from one list and cannot drift apart:
// X(name, (parameters), (arguments)).
#pragma once

#include "ControlInterfaces.h"
#include "OleInterfaces.h"

DEFINE_GUID(IID_IGraphBuilder, 0x56A868A9, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IMediaControl, 0x56A868B1, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IMediaEvent, 0x56A868B6, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IMediaEventEx, 0x56A868C0, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IBasicVideo, 0x56A868B5, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IBasicAudio, 0x56A868B3, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IVideoWindow, 0x56A868B4, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IVideoFrameStep, 0xE46A9787, 0x2B71, 0x444D, 0xA4, 0xB5, 0x1F, 0xAB, 0x7B, 0x70,
            0x8D, 0x6A);
DEFINE_GUID(CLSID_SystemClock, 0xE436EBB1, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);

using OAFilterState = LONG;  // a FILTER_STATE
using OAEVENT = LONG_PTR;
using OAHWND = LONG_PTR;

// IMediaEventEx::SetNotifyFlags: no window messages are posted.
constexpr LONG AM_MEDIAEVENT_NONOTIFY = 0x01;

// The IDispatch methods of an interface that does not offer automation: no type information,
// everything else E_NOTIMPL. Put it in the class that implements the interface.
#define DECLARE_NO_DISPATCH                                                                   \
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {                                          \
    if (!pctinfo) return E_POINTER;                                                           \
    *pctinfo = 0;                                                                             \
    return S_OK;                                                                              \
  }                                                                                           \
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }                      \
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; } \
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, void*, void*, void*, UINT*) override {           \
    return E_NOTIMPL;                                                                         \
  }

// Turns a method list into pure virtual declarations / overrides that forward to `Target()`.
#define RECAST_DECLARE_PURE(name, params, args) virtual HRESULT name params = 0;

struct IGraphBuilder : IFilterGraph {
  static constexpr const GUID& kIid = IID_IGraphBuilder;
  // Directly, else through intermediate filters the mapper offers.
  virtual HRESULT Connect(IPin* ppinOut, IPin* ppinIn) = 0;
  // Connects the output pin onward until every stream ends in a renderer.
  virtual HRESULT Render(IPin* ppinOut) = 0;
  virtual HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) = 0;
  virtual HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                  IBaseFilter** ppFilter) = 0;
  virtual HRESULT SetLogFile(DWORD_PTR hFile) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;

 protected:
  ~IGraphBuilder() = default;
};

struct IMediaControl : IDispatch {
  static constexpr const GUID& kIid = IID_IMediaControl;
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  // S_OK, VFW_S_STATE_INTERMEDIATE while a filter is still on its way after msTimeout.
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* pfs) = 0;
  virtual HRESULT RenderFile(BSTR strFilename) = 0;
  virtual HRESULT AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) = 0;
  virtual HRESULT get_FilterCollection(IDispatch** ppUnk) = 0;
  virtual HRESULT get_RegFilterCollection(IDispatch** ppUnk) = 0;
  virtual HRESULT StopWhenReady() = 0;

 protected:
  ~IMediaControl() = default;
};

struct IMediaEvent : IDispatch {
  static constexpr const GUID& kIid = IID_IMediaEvent;
  virtual HRESULT GetEventHandle(OAEVENT* hEvent) = 0;
  // E_ABORT when no event arrives within msTimeout.
  virtual HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                           LONG msTimeout) = 0;
  virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) = 0;
  virtual HRESULT CancelDefaultHandling(LONG lEvCode) = 0;
  virtual HRESULT RestoreDefaultHandling(LONG lEvCode) = 0;
  virtual HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;

 protected:
  ~IMediaEvent() = default;
};

struct IMediaEventEx : IMediaEvent {
  static constexpr const GUID& kIid = IID_IMediaEventEx;
  virtual HRESULT SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) = 0;
  virtual HRESULT SetNotifyFlags(LONG lNoNotifyFlags) = 0;
  virtual HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) = 0;

 protected:
  ~IMediaEventEx() = default;
};

#define RECAST_IBASICAUDIO_METHODS(X)        \
  X(put_Volume, (LONG lVolume), (lVolume))   \
  X(get_Volume, (LONG * plVolume), (plVolume)) \
  X(put_Balance, (LONG lBalance), (lBalance)) \
  X(get_Balance, (LONG * plBalance), (plBalance))

struct IBasicAudio : IDispatch {
  static constexpr const GUID& kIid = IID_IBasicAudio;
  RECAST_IBASICAUDIO_METHODS(RECAST_DECLARE_PURE)

 protected:
  ~IBasicAudio() = default;
};

#define RECAST_IVIDEOFRAMESTEP_METHODS(X)                                   \
  X(Step, (DWORD dwFrames, IUnknown * pStepObject), (dwFrames, pStepObject)) \
  X(CanStep, (LONG bMultiple, IUnknown * pStepObject), (bMultiple, pStepObject)) \
  X(CancelStep, (), ())

struct IVideoFrameStep : IUnknown {
  static constexpr const GUID& kIid = IID_IVideoFrameStep;
  RECAST_IVIDEOFRAMESTEP_METHODS(RECAST_DECLARE_PURE)

 protected:
  ~IVideoFrameStep() = default;
};

#define RECAST_IVIDEOWINDOW_METHODS(X)                                                        \
  X(put_Caption, (BSTR strCaption), (strCaption))                                             \
  X(get_Caption, (BSTR * strCaption), (strCaption))                                           \
  X(put_WindowStyle, (LONG WindowStyle), (WindowStyle))                                       \
  X(get_WindowStyle, (LONG * WindowStyle), (WindowStyle))                                     \
  X(put_WindowStyleEx, (LONG WindowStyleEx), (WindowStyleEx))                                 \
  X(get_WindowStyleEx, (LONG * WindowStyleEx), (WindowStyleEx))                               \
  X(put_AutoShow, (LONG AutoShow), (AutoShow))                                                \
  X(get_AutoShow, (LONG * AutoShow), (AutoShow))                                              \
  X(put_WindowState, (LONG WindowState), (WindowState))                                       \
  X(get_WindowState, (LONG * WindowState), (WindowState))                                     \
  X(put_BackgroundPalette, (LONG BackgroundPalette), (BackgroundPalette))                     \
  X(get_BackgroundPalette, (LONG * pBackgroundPalette), (pBackgroundPalette))                 \
  X(put_Visible, (LONG Visible), (Visible))                                                   \
  X(get_Visible, (LONG * pVisible), (pVisible))                                               \
  X(put_Left, (LONG Left), (Left))                                                            \
  X(get_Left, (LONG * pLeft), (pLeft))                                                        \
  X(put_Width, (LONG Width), (Width))                                                         \
  X(get_Width, (LONG * pWidth), (pWidth))                                                     \
  X(put_Top, (LONG Top), (Top))                                                               \
  X(get_Top, (LONG * pTop), (pTop))                                                           \
  X(put_Height, (LONG Height), (Height))                                                      \
  X(get_Height, (LONG * pHeight), (pHeight))                                                  \
  X(put_Owner, (OAHWND Owner), (Owner))                                                       \
  X(get_Owner, (OAHWND * Owner), (Owner))                                                     \
  X(put_MessageDrain, (OAHWND Drain), (Drain))                                                \
  X(get_MessageDrain, (OAHWND * Drain), (Drain))                                              \
  X(get_BorderColor, (LONG * Color), (Color))                                                 \
  X(put_BorderColor, (LONG Color), (Color))                                                   \
  X(get_FullScreenMode, (LONG * FullScreenMode), (FullScreenMode))                            \
  X(put_FullScreenMode, (LONG FullScreenMode), (FullScreenMode))                              \
  X(SetWindowForeground, (LONG Focus), (Focus))                                               \
  X(NotifyOwnerMessage, (OAHWND hwnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam),           \
    (hwnd, uMsg, wParam, lParam))                                                             \
  X(SetWindowPosition, (LONG Left, LONG Top, LONG Width, LONG Height),                        \
    (Left, Top, Width, Height))                                                               \
  X(GetWindowPosition, (LONG * pLeft, LONG * pTop, LONG * pWidth, LONG * pHeight),            \
    (pLeft, pTop, pWidth, pHeight))                                                           \
  X(GetMinIdealImageSize, (LONG * pWidth, LONG * pHeight), (pWidth, pHeight))                 \
  X(GetMaxIdealImageSize, (LONG * pWidth, LONG * pHeight), (pWidth, pHeight))                 \
  X(GetRestorePosition, (LONG * pLeft, LONG * pTop, LONG * pWidth, LONG * pHeight),           \
    (pLeft, pTop, pWidth, pHeight))                                                           \
  X(HideCursor, (LONG HideCursor), (HideCursor))                                              \
  X(IsCursorHidden, (LONG * CursorHidden), (CursorHidden))

struct IVideoWindow : IDispatch {
  static constexpr const GUID& kIid = IID_IVideoWindow;
  RECAST_IVIDEOWINDOW_METHODS(RECAST_DECLARE_PURE)

 protected:
  ~IVideoWindow() = default;
};

#define RECAST_IBASICVIDEO_METHODS(X)                                                       \
  X(get_AvgTimePerFrame, (REFTIME * pAvgTimePerFrame), (pAvgTimePerFrame))                  \
  X(get_BitRate, (LONG * pBitRate), (pBitRate))                                             \
  X(get_BitErrorRate, (LONG * pBitErrorRate), (pBitErrorRate))                              \
  X(get_VideoWidth, (LONG * pVideoWidth), (pVideoWidth))                                    \
  X(get_VideoHeight, (LONG * pVideoHeight), (pVideoHeight))                                 \
  X(put_SourceLeft, (LONG SourceLeft), (SourceLeft))                                        \
  X(get_SourceLeft, (LONG * pSourceLeft), (pSourceLeft))                                    \
  X(put_SourceWidth, (LONG SourceWidth), (SourceWidth))                                     \
  X(get_SourceWidth, (LONG * pSourceWidth), (pSourceWidth))                                 \
  X(put_SourceTop, (LONG SourceTop), (SourceTop))                                           \
  X(get_SourceTop, (LONG * pSourceTop), (pSourceTop))                                       \
  X(put_SourceHeight, (LONG SourceHeight), (SourceHeight))                                  \
  X(get_SourceHeight, (LONG * pSourceHeight), (pSourceHeight))                              \
  X(put_DestinationLeft, (LONG DestinationLeft), (DestinationLeft))                         \
  X(get_DestinationLeft, (LONG * pDestinationLeft), (pDestinationLeft))                     \
  X(put_DestinationWidth, (LONG DestinationWidth), (DestinationWidth))                      \
  X(get_DestinationWidth, (LONG * pDestinationWidth), (pDestinationWidth))                  \
  X(put_DestinationTop, (LONG DestinationTop), (DestinationTop))                            \
  X(get_DestinationTop, (LONG * pDestinationTop), (pDestinationTop))                        \
  X(put_DestinationHeight, (LONG DestinationHeight), (DestinationHeight))                   \
  X(get_DestinationHeight, (LONG * pDestinationHeight), (pDestinationHeight))               \
  X(SetSourcePosition, (LONG Left, LONG Top, LONG Width, LONG Height),                      \
    (Left, Top, Width, Height))                                                             \
  X(GetSourcePosition, (LONG * pLeft, LONG * pTop, LONG * pWidth, LONG * pHeight),          \
    (pLeft, pTop, pWidth, pHeight))                                                         \
  X(SetDefaultSourcePosition, (), ())                                                       \
  X(SetDestinationPosition, (LONG Left, LONG Top, LONG Width, LONG Height),                 \
    (Left, Top, Width, Height))                                                             \
  X(GetDestinationPosition, (LONG * pLeft, LONG * pTop, LONG * pWidth, LONG * pHeight),     \
    (pLeft, pTop, pWidth, pHeight))                                                         \
  X(SetDefaultDestinationPosition, (), ())                                                  \
  X(GetVideoSize, (LONG * pWidth, LONG * pHeight), (pWidth, pHeight))                       \
  X(GetVideoPaletteEntries, (LONG StartIndex, LONG Entries, LONG * pRetrieved, LONG * pPalette), \
    (StartIndex, Entries, pRetrieved, pPalette))                                            \
  X(GetCurrentImage, (LONG * pBufferSize, LONG * pDIBImage), (pBufferSize, pDIBImage))      \
  X(IsUsingDefaultSource, (), ())                                                           \
  X(IsUsingDefaultDestination, (), ())

struct IBasicVideo : IDispatch {
  static constexpr const GUID& kIid = IID_IBasicVideo;
  RECAST_IBASICVIDEO_METHODS(RECAST_DECLARE_PURE)

 protected:
  ~IBasicVideo() = default;
};
