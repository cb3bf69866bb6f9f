#include "check/kit_access.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

uint32_t Little(const uint8_t* bytes, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// The group of users that access list `acl` (the system's ACL layout, of
// `size` bytes) lets create, change or delete files in the folder, or change
// who may; null when it lets none of them.
const char* OpenToGroup(const uint8_t* acl, uint32_t size) {
  // FILE_ADD_FILE, FILE_ADD_SUBDIRECTORY, FILE_DELETE_CHILD, DELETE,
  // WRITE_DAC, WRITE_OWNER, GENERIC_ALL and GENERIC_WRITE.
  constexpr uint32_t kChangingRights = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
  // Everyone (S-1-1-0), Authenticated Users (S-1-5-11), INTERACTIVE
  // (S-1-5-4) and Users (S-1-5-32-545), as the ACL holds their SIDs.
  static const struct {
    const char* name;
    uint8_t sid[16];
    uint32_t size;
  } kGroups[] = {
      {"Everyone", {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, 12},
      {"Authenticated Users", {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0}, 12},
      {"INTERACTIVE", {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0}, 12},
      {"Users", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0}, 16},
  };
  if (size < 8) return nullptr;
  uint32_t count = Little(acl + 4, 2);
  uint32_t at = 8;
  for (uint32_t i = 0; i < count && size - at >= 8; ++i) {
    uint32_t aceSize = Little(acl + at + 2, 2);
    if (aceSize < 8 || aceSize > size - at) break;
    // Only an access-allowed entry (type 0) grants anything.
    if (acl[at] == 0 && (Little(acl + at + 4, 4) & kChangingRights) != 0) {
      for (const auto& group : kGroups) {
        if (aceSize - 8 >= group.size && std::equal(group.sid, group.sid + group.size, acl + at + 8)) {
          return group.name;
        }
      }
    }
    at += aceSize;
  }
  return nullptr;
}

}  // namespace

// Whoever can change the kit decides what the elevated installer installs.
void CheckKitAccess(std::vector<KitFinding>& findings) {
  wchar_t kit[kPathCapacity];
  BuildPathBesideProgram(kit, L"");
  size_t length = std::wcslen(kit);
  if (length == 0) return;
  // The folder's own name, without the backslash before the empty name,
  // unless it is a drive's root.
  if (length > 1 && kit[length - 2] != L':') kit[length - 1] = L'\0';
  uint8_t acl[65536];
  uint32_t size = 0;
  if (!platform::GetNamedSecurityInfoW(kit, acl, sizeof acl, size)) return;
  const char* group = OpenToGroup(acl, size);
  if (group == nullptr) return;
  findings.push_back({false, "kit-writable", L".", 0,
                      std::string("the kit folder lets ") + group +
                          " create or change files in it, and anyone who can change the kit can "
                          "change what the elevated installer installs, and can replace the "
                          "installer itself"});
}
