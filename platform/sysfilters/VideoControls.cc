// VideoRenderer: the window and picture properties of IVideoWindow and IBasicVideo. The window
// itself belongs to the frame sink; the renderer keeps what callers set and reports the picture
// it is connected to.
#include <cstring>

#include "VideoRenderer.h"
#include "WideString.h"

namespace {

constexpr double kUnitsPerSecond = 10000000.0;

bool EmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

HRESULT GetRect(const RECT& r, LONG* left, LONG* top, LONG* width, LONG* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  *left = r.left;
  *top = r.top;
  *width = r.right - r.left;
  *height = r.bottom - r.top;
  return S_OK;
}

HRESULT SetRect(RECT* r, LONG left, LONG top, LONG width, LONG height) {
  if (width < 0 || height < 0) return E_INVALIDARG;
  *r = RECT{left, top, left + width, top + height};
  return S_OK;
}

}  // namespace

// A property of the window: put stores, get reads.
#define WINDOW_PROPERTY(Type, Name, field)                \
  HRESULT VideoRenderer::put_##Name(Type value) {         \
    std::lock_guard guard(m_controlLock);                 \
    m_window.field = value;                               \
    return S_OK;                                          \
  }                                                       \
  HRESULT VideoRenderer::get_##Name(Type* value) {        \
    if (!value) return E_POINTER;                         \
    std::lock_guard guard(m_controlLock);                 \
    *value = m_window.field;                              \
    return S_OK;                                          \
  }

WINDOW_PROPERTY(LONG, WindowStyle, style)
WINDOW_PROPERTY(LONG, WindowStyleEx, styleEx)
WINDOW_PROPERTY(LONG, AutoShow, autoShow)
WINDOW_PROPERTY(LONG, WindowState, windowState)
WINDOW_PROPERTY(LONG, BackgroundPalette, backgroundPalette)
WINDOW_PROPERTY(LONG, Visible, visible)
WINDOW_PROPERTY(LONG, Left, left)
WINDOW_PROPERTY(LONG, Top, top)
WINDOW_PROPERTY(LONG, Width, width)
WINDOW_PROPERTY(LONG, Height, height)
WINDOW_PROPERTY(LONG, BorderColor, borderColor)
WINDOW_PROPERTY(LONG, FullScreenMode, fullScreen)

WINDOW_PROPERTY(OAHWND, Owner, owner)
WINDOW_PROPERTY(OAHWND, MessageDrain, messageDrain)

#undef WINDOW_PROPERTY

HRESULT VideoRenderer::put_Caption(BSTR strCaption) {
  std::lock_guard guard(m_controlLock);
  m_window.caption = strCaption ? std::u16string(strCaption, WideLength(strCaption)) : u"";
  return S_OK;
}

HRESULT VideoRenderer::get_Caption(BSTR* strCaption) {
  if (!strCaption) return E_POINTER;
  std::lock_guard guard(m_controlLock);
  *strCaption = SysAllocString(m_window.caption.c_str());
  return *strCaption ? S_OK : E_OUTOFMEMORY;
}

HRESULT VideoRenderer::SetWindowForeground(LONG) { return S_OK; }

HRESULT VideoRenderer::NotifyOwnerMessage(OAHWND, LONG, LONG_PTR, LONG_PTR) { return S_OK; }

HRESULT VideoRenderer::SetWindowPosition(LONG Left, LONG Top, LONG Width, LONG Height) {
  if (Width < 0 || Height < 0) return E_INVALIDARG;
  std::lock_guard guard(m_controlLock);
  m_window.left = Left;
  m_window.top = Top;
  m_window.width = Width;
  m_window.height = Height;
  return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG* pLeft, LONG* pTop, LONG* pWidth, LONG* pHeight) {
  if (!pLeft || !pTop || !pWidth || !pHeight) return E_POINTER;
  std::lock_guard guard(m_controlLock);
  *pLeft = m_window.left;
  *pTop = m_window.top;
  *pWidth = m_window.width;
  *pHeight = m_window.height;
  return S_OK;
}

HRESULT VideoRenderer::GetRestorePosition(LONG* pLeft, LONG* pTop, LONG* pWidth, LONG* pHeight) {
  return GetWindowPosition(pLeft, pTop, pWidth, pHeight);
}

HRESULT VideoRenderer::GetMinIdealImageSize(LONG* pWidth, LONG* pHeight) {
  return GetVideoSize(pWidth, pHeight);
}

HRESULT VideoRenderer::GetMaxIdealImageSize(LONG* pWidth, LONG* pHeight) {
  return GetVideoSize(pWidth, pHeight);
}

HRESULT VideoRenderer::HideCursor(LONG hide) {
  std::lock_guard guard(m_controlLock);
  m_window.cursorHidden = hide;
  return S_OK;
}

HRESULT VideoRenderer::IsCursorHidden(LONG* CursorHidden) {
  if (!CursorHidden) return E_POINTER;
  std::lock_guard guard(m_controlLock);
  *CursorHidden = m_window.cursorHidden;
  return S_OK;
}

HRESULT VideoRenderer::ConnectedSize(LONG* width, LONG* height) {
  std::lock_guard guard(m_controlLock);
  if (m_videoWidth == 0) return VFW_E_NOT_CONNECTED;
  *width = m_videoWidth;
  *height = m_videoHeight;
  return S_OK;
}

HRESULT VideoRenderer::get_AvgTimePerFrame(REFTIME* pAvgTimePerFrame) {
  if (!pAvgTimePerFrame) return E_POINTER;
  std::lock_guard guard(m_controlLock);
  if (m_videoWidth == 0) return VFW_E_NOT_CONNECTED;
  *pAvgTimePerFrame = m_avgTimePerFrame / kUnitsPerSecond;
  return S_OK;
}

HRESULT VideoRenderer::get_BitRate(LONG* pBitRate) {
  if (!pBitRate) return E_POINTER;
  *pBitRate = 0;
  return S_OK;
}

HRESULT VideoRenderer::get_BitErrorRate(LONG* pBitErrorRate) {
  if (!pBitErrorRate) return E_POINTER;
  *pBitErrorRate = 0;
  return S_OK;
}

HRESULT VideoRenderer::get_VideoWidth(LONG* pVideoWidth) {
  if (!pVideoWidth) return E_POINTER;
  LONG height = 0;
  return ConnectedSize(pVideoWidth, &height);
}

HRESULT VideoRenderer::get_VideoHeight(LONG* pVideoHeight) {
  if (!pVideoHeight) return E_POINTER;
  LONG width = 0;
  return ConnectedSize(&width, pVideoHeight);
}

HRESULT VideoRenderer::GetVideoSize(LONG* pWidth, LONG* pHeight) {
  if (!pWidth || !pHeight) return E_POINTER;
  return ConnectedSize(pWidth, pHeight);
}

// One edge of the source or destination rectangle, by its position and size.
#define RECT_EDGE_PROPERTY(Name, rect, Edge)                                   \
  HRESULT VideoRenderer::put_##Name(LONG value) {                              \
    std::lock_guard guard(m_controlLock);                                      \
    LONG left, top, width, height;                                             \
    GetRect(m_window.rect, &left, &top, &width, &height);                      \
    Edge = value;                                                              \
    return SetRect(&m_window.rect, left, top, width, height);                  \
  }                                                                            \
  HRESULT VideoRenderer::get_##Name(LONG* value) {                             \
    if (!value) return E_POINTER;                                              \
    std::lock_guard guard(m_controlLock);                                      \
    LONG left, top, width, height;                                             \
    GetRect(m_window.rect, &left, &top, &width, &height);                      \
    *value = Edge;                                                             \
    return S_OK;                                                               \
  }

RECT_EDGE_PROPERTY(SourceLeft, source, left)
RECT_EDGE_PROPERTY(SourceTop, source, top)
RECT_EDGE_PROPERTY(SourceWidth, source, width)
RECT_EDGE_PROPERTY(SourceHeight, source, height)
RECT_EDGE_PROPERTY(DestinationLeft, destination, left)
RECT_EDGE_PROPERTY(DestinationTop, destination, top)
RECT_EDGE_PROPERTY(DestinationWidth, destination, width)
RECT_EDGE_PROPERTY(DestinationHeight, destination, height)

#undef RECT_EDGE_PROPERTY

HRESULT VideoRenderer::SetSourcePosition(LONG Left, LONG Top, LONG Width, LONG Height) {
  std::lock_guard guard(m_controlLock);
  return SetRect(&m_window.source, Left, Top, Width, Height);
}

HRESULT VideoRenderer::GetSourcePosition(LONG* pLeft, LONG* pTop, LONG* pWidth, LONG* pHeight) {
  std::lock_guard guard(m_controlLock);
  if (EmptyRect(m_window.source)) {
    const RECT whole{0, 0, m_videoWidth, m_videoHeight};
    return GetRect(whole, pLeft, pTop, pWidth, pHeight);
  }
  return GetRect(m_window.source, pLeft, pTop, pWidth, pHeight);
}

HRESULT VideoRenderer::SetDefaultSourcePosition() {
  std::lock_guard guard(m_controlLock);
  m_window.source = RECT{};
  return S_OK;
}

HRESULT VideoRenderer::SetDestinationPosition(LONG Left, LONG Top, LONG Width, LONG Height) {
  std::lock_guard guard(m_controlLock);
  return SetRect(&m_window.destination, Left, Top, Width, Height);
}

HRESULT VideoRenderer::GetDestinationPosition(LONG* pLeft, LONG* pTop, LONG* pWidth,
                                              LONG* pHeight) {
  std::lock_guard guard(m_controlLock);
  if (EmptyRect(m_window.destination)) {
    const RECT whole{0, 0, m_window.width, m_window.height};
    return GetRect(whole, pLeft, pTop, pWidth, pHeight);
  }
  return GetRect(m_window.destination, pLeft, pTop, pWidth, pHeight);
}

HRESULT VideoRenderer::SetDefaultDestinationPosition() {
  std::lock_guard guard(m_controlLock);
  m_window.destination = RECT{};
  return S_OK;
}

HRESULT VideoRenderer::GetVideoPaletteEntries(LONG, LONG, LONG*, LONG*) {
  return E_NOTIMPL;  // planar YUV has no palette
}

HRESULT VideoRenderer::GetCurrentImage(LONG*, LONG*) { return E_NOTIMPL; }

HRESULT VideoRenderer::IsUsingDefaultSource() {
  std::lock_guard guard(m_controlLock);
  return EmptyRect(m_window.source) ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::IsUsingDefaultDestination() {
  std::lock_guard guard(m_controlLock);
  return EmptyRect(m_window.destination) ? S_OK : S_FALSE;
}
