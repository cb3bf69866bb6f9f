// The access lists of files, through advapi32: linked into the checker only,
// so that the installer imports nothing beyond kernel32 and the C runtime.
#include <windows.h>

#include <aclapi.h>

#include <cstring>

#include "platform/platform.h"

namespace platform {

bool GetNamedSecurityInfoW(const wchar_t* path, uint8_t* acl, uint32_t capacity, uint32_t& size) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, &dacl, nullptr, &descriptor);
  bool copied = error == ERROR_SUCCESS && dacl != nullptr && dacl->AclSize <= capacity;
  if (copied) {
    size = dacl->AclSize;
    std::memcpy(acl, dacl, size);
  }
  if (descriptor != nullptr) ::LocalFree(descriptor);
  return copied;
}

}  // namespace platform
