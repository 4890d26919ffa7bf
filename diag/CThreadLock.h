// A scoped lock on a CCriticalSection that can report its request, acquisition
// and release to the debug logger. Locks taken while the settings are loading
// must stay untraced: the logger's first use loads the settings.
#pragma once

#include <string>

#include "diag/CCriticalSection.h"

class CThreadLock {
 public:
  CThreadLock(CCriticalSection* section, const std::string& name, bool trace);
  virtual ~CThreadLock();
  CThreadLock(const CThreadLock&) = delete;
  CThreadLock& operator=(const CThreadLock&) = delete;

 private:
  bool trace_;
  std::string name_;
  CCriticalSection* section_;
};
