// Arbitrary bytes as the firmware's raw SMBIOS block, through the fetch, the
// walk and both decoders. The first byte chooses how the fetch behaves.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "inventory/smbios_table.h"
#include "tests/fake_platform.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The report is not what is checked here.
  return std::freopen("/dev/null", "w", stdout) == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ResetFake();
  FakePlatform& fake = Fake();
  fake.firmware.assign(data + 1, data + size);
  switch (data[0] % 3) {
    case 1:  // the fetch fills only part of the block
      fake.fetchFills = static_cast<int64_t>(fake.firmware.size() / 2);
      break;
    case 2:  // the table grew after the size query
      fake.reportedSize = static_cast<int64_t>(fake.firmware.size() / 2);
      break;
  }
  ReadSmbiosTable();
  ResetFake();
  return 0;
}
