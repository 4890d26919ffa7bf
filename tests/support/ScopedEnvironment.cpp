#include "support/ScopedEnvironment.h"

#include <cstdlib>
#include <deque>

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value)
    : name_(name) {
  const char* previous = std::getenv(name.c_str());
  if (previous) previous_ = previous;
  Set(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { Set(name_, previous_); }

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
  // putenv is the one call both C libraries offer; it keeps the text it is
  // given, so the texts live until the process ends.
  static std::deque<std::string>* texts = new std::deque<std::string>();
  texts->push_back(name + "=" + value);
  putenv(&texts->back()[0]);
}
