#include "check/complaint.h"

#include <cstdio>

#include "platform/platform.h"

void Complain(const std::string& message) {
  std::string line = std::string(platform::kCheckerName) + ": " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}
