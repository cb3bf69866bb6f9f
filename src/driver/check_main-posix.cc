#include <string>
#include <vector>

#include "driver/run_check.h"
#include "platform/posix_text.h"

// The arguments as the UTF-16 units that the checker takes on Windows.
int main(int argc, char** argv) {
  std::vector<std::wstring> arguments(static_cast<size_t>(argc));
  std::vector<wchar_t*> wide(static_cast<size_t>(argc) + 1, nullptr);
  for (size_t i = 0; i < arguments.size(); ++i) {
    arguments[i] = WideFromNative(argv[i]);
    wide[i] = arguments[i].data();
  }
  return RunCheck(wide.data());
}
