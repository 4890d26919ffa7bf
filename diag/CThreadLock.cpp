#include "diag/CThreadLock.h"

#include "diag/DebugLogger.h"
#include "platform/Platform.h"

namespace {
int ThreadId() { return static_cast<int>(platform::CurrentThreadId()); }
}  // namespace

CThreadLock::CThreadLock(CCriticalSection* section, const char* name, bool trace)
    : trace_(trace), name_(name), section_(section) {
  if (trace_) DebugLogger::GetInstance()->Write("[%d] request for lock %s", ThreadId(), name_);
  section_->Lock();
  if (trace_) DebugLogger::GetInstance()->Write("[%d] lock acquired %s", ThreadId(), name_);
}

CThreadLock::~CThreadLock() {
  if (trace_) DebugLogger::GetInstance()->Write("[%d] lock released %s", ThreadId(), name_);
  section_->Unlock();
}
