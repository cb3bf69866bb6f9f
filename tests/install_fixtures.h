// The kit of the install tests: the program in C:\Kit with its table.
#pragma once

#include <string>

#include "tests/smbios_fixtures.h"

constexpr wchar_t kTablePath[] = L"C:\\Kit\\KORVPlatformTable.ini";
constexpr wchar_t kTag[] = L"[Version]\nVer=Morlane_V4.0.0.4\n";

class InstallTest : public InventoryTest {
 protected:
  static void Table(const std::wstring& contents) { SetProfileFile(kTablePath, AnsiBytes(contents)); }
};
