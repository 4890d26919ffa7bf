// A scoped lock on a CCriticalSection that can report its request, acquisition
// and release to the debug logger. Locks taken while the settings are loading
// must stay untraced: the logger's first use loads the settings.
#pragma once

#include "diag/CCriticalSection.h"

class CThreadLock {
 public:
  /// `name` is the caller's text, a literal: it is not copied, as a lock is taken
  /// on every step of every store.
  CThreadLock(CCriticalSection* section, const char* name, bool trace);
  virtual ~CThreadLock();
  CThreadLock(const CThreadLock&) = delete;
  CThreadLock& operator=(const CThreadLock&) = delete;

 private:
  bool trace_;
  const char* name_;
  CCriticalSection* section_;
};
