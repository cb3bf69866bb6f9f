// Arbitrary firmware strings and arbitrary bytes as "KORVPlatformTable.ini",
// through the tag check, the selection and the deployment. The input is the
// BIOS version, a zero byte, the platform name, a zero byte, then the file.
#include <cstdint>
#include <cstring>
#include <string>

#include "install/thermal_map_source.h"
#include "inventory/bios_decoders.h"
#include "tests/fake_platform.h"

namespace {

// Takes text up to the next zero byte (or the end) into `capture`.
const uint8_t* TakeText(const uint8_t* at, const uint8_t* end, wchar_t (&capture)[260]) {
  std::memset(capture, 0, sizeof capture);
  size_t length = 0;
  for (; at < end && *at != 0; ++at) {
    if (length < 259) capture[length++] = *at;
  }
  return at < end ? at + 1 : at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetFake();
  const uint8_t* end = data + size;
  const uint8_t* at = TakeText(data, end, BiosVersionText);
  at = TakeText(at, end, BiosPlatformText);
  SetProfileFile(L"C:\\Kit\\KORVPlatformTable.ini", std::string(at, end));
  InstallThermalMaps();
  ResetFake();
  return 0;
}
