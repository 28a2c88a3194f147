#include "NetStream.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace recastgst {
namespace {

using netsource::SourceKind;

constexpr std::string_view kSchemeEnd = "://";

// The schemes in the spelling the sessions' URL reader takes (it keeps an upper-case "R").
constexpr std::array<std::string_view, 5> kSchemes = {"ntrt", "ntfl", "Real", "svrt", "svfl"};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool Parse(std::string_view uri, netsource::SourceSelection& selection,
           netsource::SourceRequest& request, std::string& reason) {
  const std::optional<std::string> canonical = NetStream::Canonical(uri);
  if (!canonical) {
    reason = "not a recorder URL";
    return false;
  }
  const auto selected = netsource::SelectSource(*canonical);
  if (!selected) {
    reason = "not a recorder URL";
    return false;
  }
  if (FAILED(netsource::ParseSourceUrl(selected->kind, *canonical, request))) {
    reason = "a field of the URL is missing or too long";
    return false;
  }
  selection = *selected;
  return true;
}

}  // namespace

const char* const NetStream::kProtocols[] = {"ntrt", "ntfl", "real", "svrt", "svfl", nullptr};

NetStream::~NetStream() { Close(); }

std::optional<std::string> NetStream::Canonical(std::string_view uri) {
  const size_t end = uri.find(kSchemeEnd);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string scheme = Lower(uri.substr(0, end));
  for (std::string_view known : kSchemes) {
    if (Lower(known) == scheme) return std::string(known) + std::string(uri.substr(end));
  }
  return std::nullopt;
}

bool NetStream::Check(std::string_view uri, bool& recorded, std::string& reason) {
  netsource::SourceSelection selection;
  netsource::SourceRequest request;
  if (!Parse(uri, selection, request, reason)) return false;
  recorded = selection.recorded != 0;
  return true;
}

bool NetStream::Open(std::string_view uri, std::string& reason) {
  netsource::SourceRequest request;
  if (!Parse(uri, selection_, request, reason)) return false;
  std::lock_guard guard(lock_);
  ready_->Reset();
  std::unique_ptr<netsource::StreamSession> session;
  if (FAILED(netsource::CreateSession(request, netsource::SessionContext{this, ready_}, session))) {
    reason = request.kind == SourceKind::ServerLive || request.kind == SourceKind::ServerRecorded
                 ? "the stream server did not open the stream"
                 : "the recorder refused the login or the stream";
    return false;
  }
  session_ = std::move(session);
  if (!ready_->Wait(netsource::kStreamReadyWait)) {
    reason = "no stream data arrived";
    return false;
  }
  session_->GetHeader(header_.data());
  if (!netsource::HeaderIsPlayable(header_)) {
    reason = "the stream header is not one of a recorder stream";
    return false;
  }
  return true;
}

void NetStream::Close() {
  std::unique_ptr<netsource::StreamSession> session;
  {
    std::lock_guard guard(lock_);
    if (session_) session_->Stop();
    session = std::move(session_);
  }
}

LONGLONG NetStream::Duration() {
  std::lock_guard guard(lock_);
  return session_ && Recorded() ? session_->GetDuration() : 0;
}

HRESULT NetStream::Fill(netsource::FillTarget& target) {
  std::lock_guard guard(lock_);
  if (!session_) return E_FAIL;
  session_->BeforeFill();
  const HRESULT hr = session_->FillBuffer(target);
  if (hr == netsource::NETSRC_S_NODATA) session_->AfterNoData();
  return hr;
}

void NetStream::WaitForData(std::chrono::milliseconds timeout) {
  netsource::StreamSession* session;
  {
    std::lock_guard guard(lock_);
    session = session_.get();
  }
  // Close never runs while the streaming thread waits here (the element stops it first).
  if (session) session->WaitForData(timeout);
}

void NetStream::Wake() {
  std::lock_guard guard(lock_);
  if (session_) session_->WakeConsumer();
}

HRESULT NetStream::Run() {
  std::lock_guard guard(lock_);
  return session_ ? session_->Run() : E_FAIL;
}

HRESULT NetStream::Pause() {
  std::lock_guard guard(lock_);
  return session_ ? session_->Pause() : E_FAIL;
}

void NetStream::StreamStarts() {
  std::lock_guard guard(lock_);
  if (session_) session_->OnStreamStart();
}

HRESULT NetStream::Seek(LONGLONG position) {
  std::lock_guard guard(lock_);
  if (!session_ || !Seekable()) return E_FAIL;
  start_ = std::max<LONGLONG>(position, 0);
  stop_ = session_->GetDuration();
  // The sessions reposition from a pause, as a graph seeks: pause, move, play on. A session
  // that has not run yet takes no pause, so it runs first.
  session_->Run();
  session_->Pause();
  return session_->ChangeStart();
}

HRESULT NetStream::GetPositions(LONGLONG* current, LONGLONG* stop) {
  // Called by the session inside Seek, with lock_ held.
  if (current) *current = start_;
  if (stop) *stop = stop_;
  return S_OK;
}

}  // namespace recastgst
