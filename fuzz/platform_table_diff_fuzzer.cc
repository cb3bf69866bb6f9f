// Arbitrary bytes as "KORVPlatformTable.ini" and an arbitrary value, looked
// up in both tables by FindPlatformTableKey, in the table's listing and by
// the plain key-by-key loop; any difference in the key found aborts. The input is the value, a zero byte, then
// the file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "install/platform_table.h"
#include "tests/fake_platform.h"
#include "tests/plain_lookup.h"

namespace {

constexpr wchar_t kTablePath[] = L"C:\\Kit\\KORVPlatformTable.ini";

// The plain loop reads one key per number: larger counts would time out,
// and the unit tests cover them.
constexpr int32_t kLargestPlainCount = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetFake();
  const uint8_t* end = data + size;
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const uint8_t* valueEnd = zero != nullptr ? zero : end;
  std::wstring value;
  for (const uint8_t* at = data; at < valueEnd; ++at) value += static_cast<wchar_t>(*at);
  SetProfileFile(kTablePath, std::string(zero != nullptr ? zero + 1 : end, end));
  for (int tableType : {0, 130}) {
    const wchar_t* section = tableType == 0 ? L"DMI_Type0_Table" : L"DMI_Type130_Table";
    if (ReadTableCount(section, kTablePath) > kLargestPlainCount) continue;
    uint32_t plain = PlainLookup(value.c_str(), section, kTablePath);
    if (FindPlatformTableKey(value.c_str(), tableType) != plain ||
        ListedKey(value.c_str(), tableType) != plain) {
      std::abort();
    }
  }
  ResetFake();
  return 0;
}
