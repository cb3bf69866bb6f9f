// The calls of platform.h over POSIX, for the native checker. Text keeps the
// Windows rules: names are UTF-16 units and firmware strings are in the OEM
// code page (posix_text.h), kit tables are read by Windows' profile rules,
// and the names of a kit's folders and files match without regard to letter
// case, as on Windows (posix_files.h).
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "inventory/firmware_file.h"
#include "common/profile_file.h"
#include "platform/posix_files.h"
#include "platform/posix_text.h"

namespace platform {

const wchar_t kPathSeparator = L'/';

namespace {

// Where Linux gives the firmware's SMBIOS entry point and table.
constexpr char kEntryPointFile[] = "/sys/firmware/dmi/tables/smbios_entry_point";
constexpr char kTableFile[] = "/sys/firmware/dmi/tables/DMI";

// A handle holds the file descriptor.
void* Handle(int fd) { return new int(fd); }

// One listing of a folder: the names still to give, in the order read.
struct Listing {
  std::string folder;
  DIR* handle;
};

bool NextEntry(Listing& listing, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  while (dirent* entry = readdir(listing.handle)) {
    std::wstring wide = WideFromNative(entry->d_name);
    if (wide.size() >= capacity) continue;
    struct stat status;
    std::string full = listing.folder + "/" + entry->d_name;
    struct stat link;
    bool linked = lstat(full.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    kind = stat(full.c_str(), &status) != 0 ? EntryKind::kOther
           : S_ISDIR(status.st_mode)        ? EntryKind::kFolder
           : !S_ISREG(status.st_mode)       ? EntryKind::kOther
           : linked                         ? EntryKind::kLinkedFile
                                            : EntryKind::kFile;
    std::copy(wide.begin(), wide.end(), name);
    name[wide.size()] = L'\0';
    return true;
  }
  return false;
}

}  // namespace

uint32_t GetSystemFirmwareTable(uint32_t provider, uint32_t tableId, void* buffer, uint32_t size) {
  if (provider != kRawSmbiosProvider || tableId != 0) return 0;
  std::string entryPoint;
  std::string table;
  FirmwareImage image;
  if (!ReadNativeFile(kEntryPointFile, entryPoint) || !ReadNativeFile(kTableFile, table)) return 0;
  BuildFirmwareBlock(entryPoint, table, image);
  if (image.error != nullptr || image.block.size() > UINT32_MAX) return 0;
  auto length = static_cast<uint32_t>(image.block.size());
  if (buffer == nullptr || size < length) return length;
  std::copy(image.block.begin(), image.block.end(), static_cast<char*>(buffer));
  return length;
}

int MultiByteToWideChar(const char* text, int length, wchar_t* buffer, int capacity) {
  int count = std::min(length, capacity);
  for (int i = 0; i < count; ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    buffer[i] = OemCharacter(byte);
  }
  return count;
}

// There is no debugger's channel here.
void OutputDebugStringW(const wchar_t*) {}

void* HeapAlloc(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void HeapFree(void* block) { std::free(block); }

uint32_t GetModuleFileNameW(wchar_t* buffer, uint32_t capacity) {
  char native[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", native, sizeof native - 1);
  if (length <= 0 || capacity == 0) return 0;
  std::wstring wide = WideFromNative(std::string(native, static_cast<size_t>(length)));
  // A name that does not fit is cut and answers the capacity, as on Windows.
  uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(wide.size()), capacity - 1);
  std::copy_n(wide.begin(), count, buffer);
  buffer[count] = L'\0';
  return wide.size() >= capacity ? capacity : count;
}

uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* fallback, wchar_t* buffer,
                                  uint32_t capacity, const wchar_t* file) {
  return ReadProfileString(ReadProfile(file), section, key, fallback, buffer, capacity);
}

uint32_t GetPrivateProfileSectionW(const wchar_t* section, wchar_t* buffer, uint32_t capacity,
                                   const wchar_t* file) {
  return ReadProfileSection(ReadProfile(file), section, buffer, capacity);
}

const char* FirmwareTableProblem() {
  // Containers, and virtual machines without SMBIOS, have no tables at all.
  if (access(kTableFile, F_OK) != 0) {
    return "/sys/firmware/dmi/tables is absent: this system gives no SMBIOS table (a container, or a virtual "
           "machine without one); give a firmware file with --firmware";
  }
  if (access(kTableFile, R_OK) != 0 || access(kEntryPointFile, R_OK) != 0) {
    return "only root may read /sys/firmware/dmi/tables; run as root, or give a firmware file with --firmware";
  }
  return "/sys/firmware/dmi/tables holds no SMBIOS table that can be read; give a firmware file with --firmware";
}

bool HoldsInstalledMaps() { return false; }

bool Wow64EnableWow64FsRedirection(bool) { return false; }

bool MoveFileExW(const wchar_t* source, const wchar_t* target) {
  std::string to = NativePath(target);
  if (std::rename(NativePath(source).c_str(), to.c_str()) != 0) return false;
  // The move is on disk once its folder is.
  size_t slash = to.rfind('/');
  int folder = open(slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash).c_str(),
                    O_RDONLY | O_DIRECTORY);
  bool synced = folder >= 0 && fsync(folder) == 0;
  if (folder >= 0) close(folder);
  return synced;
}

bool DeleteFileW(const wchar_t* path) { return unlink(NativePath(path).c_str()) == 0; }

uint32_t GetFileAttributesW(const wchar_t* path) {
  struct stat status;
  if (stat(NativePath(path).c_str(), &status) != 0) return kInvalidFileAttributes;
  return S_ISDIR(status.st_mode) ? kFileAttributeDirectory : kFileAttributeNormal;
}

// Files carry no read-only or hidden attribute here.
bool SetFileAttributesW(const wchar_t*, uint32_t) { return false; }

void* CreateFileW(const wchar_t* path, FileAccess access) {
  std::string native = NativePath(path);
  int fd = -1;
  switch (access) {
    case FileAccess::kReadExisting:
    case FileAccess::kReadUnchanging:
      fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
      break;
    case FileAccess::kReadNoWait:
      // A file swapped for a FIFO after its folder was listed must not hold
      // the run in open() until some writer comes.
      fd = open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      break;
    case FileAccess::kCreateNew:
      fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      break;
    case FileAccess::kCreateAlways:
      fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      break;
    case FileAccess::kOpenFolder:
      fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      break;
  }
  if (fd < 0) return nullptr;
  struct stat status;
  // A folder opened as a file reads nothing, as on Windows it cannot be opened.
  if (access != FileAccess::kOpenFolder && (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode))) {
    close(fd);
    return nullptr;
  }
  return Handle(fd);
}

uint32_t GetFinalPathNameByHandleW(void* file, wchar_t* buffer, uint32_t capacity) {
  char native[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(Descriptor(file));
  ssize_t length = readlink(link.c_str(), native, sizeof native - 1);
  if (length <= 0) return 0;
  std::wstring wide = WideFromNative(std::string(native, static_cast<size_t>(length)));
  if (wide.size() >= capacity) return 0;
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = L'\0';
  return static_cast<uint32_t>(wide.size());
}

bool CompareStringOrdinal(const wchar_t* a, const wchar_t* b, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

// Access lists are Windows'; a POSIX system gives none.
bool GetNamedSecurityInfoW(const wchar_t*, uint8_t*, uint32_t, uint32_t&) { return false; }

bool ReadFile(void* file, void* buffer, uint32_t size, uint32_t& read) {
  ssize_t count = ::read(Descriptor(file), buffer, size);
  read = count > 0 ? static_cast<uint32_t>(count) : 0;
  return count >= 0;
}

std::string LastErrorText() {
  int code = errno;
  return std::string(std::strerror(code)) + " (errno " + std::to_string(code) + ")";
}

bool WriteFile(void* file, const void* data, uint32_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t count = ::write(Descriptor(file), bytes, size);
    if (count <= 0) return false;
    bytes += count;
    size -= static_cast<uint32_t>(count);
  }
  return true;
}

FileType GetFileType(void* file) {
  struct stat status;
  if (fstat(Descriptor(file), &status) != 0) return FileType::kStream;
  return S_ISREG(status.st_mode) ? FileType::kDisk : S_ISDIR(status.st_mode) ? FileType::kFolder : FileType::kStream;
}

bool GetFileSizeEx(void* file, uint64_t& size) {
  struct stat status;
  if (fstat(Descriptor(file), &status) != 0) return false;
  size = static_cast<uint64_t>(status.st_size);
  return true;
}

bool FlushFileBuffers(void* file) { return fsync(Descriptor(file)) == 0; }

void CloseHandle(void* file) {
  close(Descriptor(file));
  delete static_cast<int*>(file);
}

void* FindFirstFileW(const wchar_t* pattern, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  // Only "FOLDER/*" is listed, as the checker asks.
  std::wstring folder(pattern);
  if (folder.size() < 2 || folder.compare(folder.size() - 2, 2, L"/*") != 0) return nullptr;
  folder.resize(folder.size() - 2);
  std::string native = NativePath(folder.c_str());
  DIR* handle = opendir(native.empty() ? "/" : native.c_str());
  if (handle == nullptr) return nullptr;
  auto* listing = new Listing{native, handle};
  if (NextEntry(*listing, name, capacity, kind)) return listing;
  FindClose(listing);
  return nullptr;
}

bool FindNextFileW(void* listing, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  return NextEntry(*static_cast<Listing*>(listing), name, capacity, kind);
}

void FindClose(void* listing) {
  closedir(static_cast<Listing*>(listing)->handle);
  delete static_cast<Listing*>(listing);
}

void* GetStdInputHandle() {
  static int input = STDIN_FILENO;
  return &input;
}

bool StandardErrorIsConsole() { return isatty(STDERR_FILENO) == 1; }

uint32_t GetFullPathNameW(const wchar_t* path, wchar_t* buffer, uint32_t capacity) {
  std::wstring full = path;
  if (full.empty() || full[0] != L'/') {
    char current[PATH_MAX];
    if (getcwd(current, sizeof current) == nullptr) return 0;
    full = WideFromNative(current) + L"/" + full;
  }
  // "." and ".." go, and repeated separators, as Windows makes a full path.
  std::vector<std::wstring> parts;
  size_t at = 0;
  while (at <= full.size()) {
    size_t end = std::min(full.find(L'/', at), full.size());
    std::wstring part = full.substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::wstring normal;
  for (const std::wstring& part : parts) normal += L"/" + part;
  // A path that names a folder keeps its separator at the end.
  if (normal.empty() || (full.back() == L'/' && !parts.empty())) normal += L"/";
  if (normal.size() >= capacity) return 0;
  std::copy(normal.begin(), normal.end(), buffer);
  buffer[normal.size()] = L'\0';
  return static_cast<uint32_t>(normal.size());
}

}  // namespace platform
