#include <string>
#include <vector>

#include "check/run_check.h"
#include "platform/posix_text.h"

// The arguments as the UTF-16 units that the checker takes on Windows.
int main(int argc, char** argv) {
  std::vector<std::wstring> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(WideFromNative(argv[i]));
  std::vector<wchar_t*> wide;
  for (std::wstring& argument : arguments) wide.push_back(argument.data());
  wide.push_back(nullptr);
  return RunCheck(wide.data());
}
