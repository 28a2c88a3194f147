#include "AMThread.h"

CAMThread::CAMThread() = default;

CAMThread::~CAMThread() { Close(); }

bool CAMThread::Create() {
  CAutoLock lock(&m_AccessLock);
  if (m_thread.joinable()) return false;
  m_thread = std::thread([this] { ThreadProc(); });
  return true;
}

DWORD CAMThread::CallWorker(DWORD request) {
  CAutoLock lock(&m_AccessLock);
  if (!m_thread.joinable()) return static_cast<DWORD>(E_FAIL);
  m_dwParam = request;
  m_EventSend.Set();
  m_EventComplete.Wait();
  return m_dwReturnVal;
}

void CAMThread::Close() {
  CAutoLock lock(&m_AccessLock);
  if (m_thread.joinable()) m_thread.join();
}

bool CAMThread::ThreadExists() const {
  // Only the controlling thread asks, and only it starts and joins the worker.
  return m_thread.joinable();
}

DWORD CAMThread::GetRequest() {
  m_EventSend.Wait();
  return m_dwParam;
}

bool CAMThread::CheckRequest(DWORD* request) {
  if (!m_EventSend.Check()) return false;
  if (request) *request = m_dwParam;
  return true;
}

void CAMThread::Reply(DWORD returnValue) {
  m_dwReturnVal = returnValue;
  // Reset before completing, so the worker's next CheckRequest does not see this command again.
  m_EventSend.Reset();
  m_EventComplete.Set();
}
