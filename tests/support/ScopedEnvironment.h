// Sets an environment variable for the life of the object and puts the old
// value back afterwards. An empty value counts as unset for the tool.
#pragma once

#include <string>

class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  static void Set(const std::string& name, const std::string& value);

 private:
  std::string name_;
  std::string previous_;
};
