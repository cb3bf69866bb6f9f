// Builders of SMBIOS structures for the tests, and the run of the inventory
// with its standard output captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "inventory/bios_decoders.h"
#include "inventory/smbios_table.h"
#include "tests/fake_platform.h"

using Bytes = std::vector<uint8_t>;

// One structure: the formatted area (byte 1 set to its size unless
// `formattedLength` overrides it), the strings and the closing zero pair.
inline Bytes Structure(Bytes formatted, const std::vector<std::string>& strings,
                       int formattedLength = -1) {
  formatted[1] = static_cast<uint8_t>(formattedLength >= 0 ? formattedLength : formatted.size());
  Bytes bytes = formatted;
  for (const std::string& text : strings) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  }
  if (strings.empty()) bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

// A type 0 formatted area of `length` bytes: vendor string 1, version 2,
// date 3, segment 0xE800, ROM size byte 0x3F, releases 1.2 and EC 3.4.
inline Bytes BiosFormatted(size_t length = 24) {
  Bytes area = {0, 0, 0x00, 0x00, 1, 2, 0x00, 0xE8, 3, 0x3F, 0, 0, 0, 0, 0, 0,
                0, 0, 0, 0, 1, 2, 3, 4};
  area.resize(length);
  return area;
}

inline Bytes PlatformFormatted(size_t length = 5) {
  Bytes area = {130, 0, 0x01, 0x00, 1};
  area.resize(length);
  return area;
}

inline Bytes EndOfTable() { return Structure({127, 4, 0xFF, 0xFF}, {}); }

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Names a table-driven case after its `name` field.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
    return param.param.name;
  }
};

// Clears the stand-in and the process-wide buffers between tests.
class InventoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFake();
    std::memset(BannerBuffer, 0, sizeof BannerBuffer);
    std::memset(FieldBuffer, 0, sizeof FieldBuffer);
    std::memset(BiosVersionText, 0, sizeof BiosVersionText);
    std::memset(BiosPlatformText, 0, sizeof BiosPlatformText);
  }
  void TearDown() override { ResetFake(); }

  // Runs the walk alone over `table` and returns what it printed.
  static std::string Walk(const Bytes& table) {
    ::testing::internal::CaptureStdout();
    WalkSmbiosStructures(table.data(), static_cast<uint32_t>(table.size()));
    return ::testing::internal::GetCapturedStdout();
  }
};

// The lines the decoders print for BiosFormatted() with these strings.
inline std::string BiosBlock(const std::string& vendor, const std::string& version,
                             const std::string& date, bool releaseLines = true) {
  std::string block = "==========          BIOS information           ==========\n"
                      "Vendor: " + vendor + "\nVersion: " + version +
                      "\nBIOS Starting Segment: 0xE800\nRelease Date: " + date +
                      "\nImage Size: 4096K\n";
  if (releaseLines) block += "System BIOS version: 1.2\nEC Firmware version: 3.4\n";
  return block;
}

inline std::string PlatformBlock(const std::string& name, const std::string& length = "0x5") {
  return "============= BIOS Platform =============\nLength: " + length +
         "\nBIOSPlatform: " + name + "\n";
}
