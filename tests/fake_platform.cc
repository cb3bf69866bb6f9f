#include "tests/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <memory>

#include <openssl/evp.h>

#include "platform/platform.h"

namespace {

// Heap blocks outlive a test's FakePlatform only until the next reset.
struct HeapBlocks {
  std::vector<std::unique_ptr<uint8_t[]>> live;
};

HeapBlocks& Heap() {
  static HeapBlocks heap;
  return heap;
}

// A file that CreateFileW opened (by its name with links resolved), and
// where it reads and writes.
struct OpenFile {
  std::wstring path;
  size_t position;
};

// Standard input is the file of that name, never closed; read once, as a
// pipe is, until the stand-in is emptied.
OpenFile& StandardInput() {
  static OpenFile input{L"standard input", 0};
  return input;
}

// `path` with every link on its way replaced by where the link leads.
std::wstring Resolved(std::wstring path) {
  // A bounded number of steps, as a cycle of links must end.
  for (int step = 0; step < 16; ++step) {
    bool replaced = false;
    for (const auto& [link, target] : Fake().links) {
      if (path.compare(0, link.size(), link) == 0 && (path.size() == link.size() || path[link.size()] == L'\\')) {
        path = target + path.substr(link.size());
        replaced = true;
        break;
      }
    }
    if (!replaced) break;
  }
  return path;
}

}  // namespace

uint32_t CopyCut(const std::wstring& text, wchar_t* buffer, uint32_t capacity) {
  uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(text.size()), capacity - 1);
  std::copy_n(text.begin(), count, buffer);
  buffer[count] = L'\0';
  return count;
}

FakePlatform& Fake() {
  static FakePlatform fake;
  return fake;
}

void RewindStandardInput() { StandardInput().position = 0; }

void ResetFake() {
  Fake() = FakePlatform();
  RewindStandardInput();
  Heap().live.clear();
  ClearProfileFiles();
}

size_t LiveHeapBlocks() { return Heap().live.size(); }

std::vector<uint8_t> RawSmbiosBlock(const std::vector<uint8_t>& table) {
  std::vector<uint8_t> block(8 + table.size());
  block[1] = 3;
  block[2] = 2;
  for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<uint8_t>(table.size() >> (8 * i));
  std::copy(table.begin(), table.end(), block.begin() + 8);
  return block;
}

namespace platform {

uint32_t GetSystemFirmwareTable(uint32_t provider, uint32_t tableId, void* buffer, uint32_t size) {
  const FakePlatform& fake = Fake();
  if (provider != kRawSmbiosProvider || tableId != 0) return 0;
  uint32_t actual = static_cast<uint32_t>(fake.firmware.size());
  if (buffer == nullptr) return fake.reportedSize >= 0 ? static_cast<uint32_t>(fake.reportedSize) : actual;
  if (size < actual) return actual;
  uint32_t fill = fake.fetchFills >= 0 ? std::min<uint32_t>(static_cast<uint32_t>(fake.fetchFills), actual)
                                       : actual;
  std::copy_n(fake.firmware.begin(), fill, static_cast<uint8_t*>(buffer));
  return fill;
}

const wchar_t kPathSeparator = L'\\';

int MultiByteToWideChar(const char* text, int length, wchar_t* buffer, int capacity) {
  // Latin-1 stands in for the OEM code page: each byte is one character.
  int count = std::min(length, capacity);
  for (int i = 0; i < count; ++i) buffer[i] = static_cast<unsigned char>(text[i]);
  return count;
}

void OutputDebugStringW(const wchar_t* message) {
  Fake().debugMessages.push_back(message);
  Fake().calls.push_back(std::wstring(L"OutputDebugStringW(") + message + L")");
}

void* HeapAlloc(size_t bytes) {
  FakePlatform& fake = Fake();
  if (fake.heapAllocationsLeft == 0 || bytes > fake.heapLimit) return nullptr;
  if (fake.heapAllocationsLeft > 0) --fake.heapAllocationsLeft;
  Heap().live.emplace_back(new uint8_t[bytes == 0 ? 1 : bytes]);
  return Heap().live.back().get();
}

void HeapFree(void* block) {
  auto& live = Heap().live;
  live.erase(std::remove_if(live.begin(), live.end(),
                            [block](const std::unique_ptr<uint8_t[]>& b) { return b.get() == block; }),
             live.end());
}

uint32_t GetModuleFileNameW(wchar_t* buffer, uint32_t capacity) {
  // A name that does not fit is cut and answers the capacity.
  const std::wstring& name = Fake().moduleFileName;
  uint32_t count = CopyCut(name, buffer, capacity);
  return name.size() >= capacity ? capacity : count;
}

bool HoldsInstalledMaps() { return true; }

bool Wow64EnableWow64FsRedirection(bool enable) {
  Fake().calls.push_back(enable ? L"Wow64EnableWow64FsRedirection(TRUE)"
                                : L"Wow64EnableWow64FsRedirection(FALSE)");
  return Fake().redirectionCanBeSwitched;
}

bool MoveFileExW(const wchar_t* source, const wchar_t* target) {
  FakePlatform& fake = Fake();
  fake.calls.push_back(std::wstring(L"MoveFileExW(") + source + L", " + target + L")");
  auto from = fake.files.find(source);
  auto to = fake.files.find(target);
  if (fake.moveFails || from == fake.files.end() ||
      (to != fake.files.end() && (to->second.attributes & kFileAttributeReadOnly))) {
    return false;
  }
  FakePlatform::File moved = from->second;
  fake.files.erase(from);
  fake.files[target] = moved;
  return true;
}

bool DeleteFileW(const wchar_t* path) {
  FakePlatform& fake = Fake();
  fake.calls.push_back(std::wstring(L"DeleteFileW(") + path + L")");
  auto file = fake.files.find(path);
  if (file == fake.files.end() || (file->second.attributes & kFileAttributeReadOnly)) return false;
  fake.files.erase(file);
  return true;
}

uint32_t GetFileAttributesW(const wchar_t* name) {
  FakePlatform& fake = Fake();
  std::wstring path = Resolved(name);
  auto file = fake.files.find(path);
  if (file != fake.files.end()) return file->second.attributes;
  // A folder is there while a file is in it.
  std::wstring folder = path + L"\\";
  auto inside = fake.files.lower_bound(folder);
  bool isFolder = inside != fake.files.end() && inside->first.compare(0, folder.size(), folder) == 0;
  return isFolder ? kFileAttributeDirectory : kInvalidFileAttributes;
}

bool SetFileAttributesW(const wchar_t* path, uint32_t attributes) {
  FakePlatform& fake = Fake();
  fake.calls.push_back(std::wstring(L"SetFileAttributesW(") + path + L", " +
                       std::to_wstring(attributes) + L")");
  auto file = fake.files.find(path);
  if (file == fake.files.end()) return false;
  file->second.attributes = attributes;
  return true;
}

void* CreateFileW(const wchar_t* name, FileAccess access) {
  FakePlatform& fake = Fake();
  std::wstring path = Resolved(name);
  if (access == FileAccess::kOpenFolder) {
    if (path.size() > 1 && path.back() == L'\\') path.pop_back();
    if (GetFileAttributesW(path.c_str()) != kFileAttributeDirectory) return nullptr;
    ++fake.openFiles;
    return new OpenFile{path, 0};
  }
  auto file = fake.files.find(path);
  if (access == FileAccess::kCreateNew && file != fake.files.end()) return nullptr;
  if (access == FileAccess::kCreateAlways || access == FileAccess::kCreateNew) {
    // Windows refuses to empty a read-only or a hidden file.
    if (file != fake.files.end() &&
        (file->second.attributes & (kFileAttributeReadOnly | kFileAttributeHidden))) {
      return nullptr;
    }
    fake.calls.push_back(std::wstring(L"CreateFileW(") + path + L", CREATE_ALWAYS)");
    fake.files[path] = FakePlatform::File();
  } else if (file == fake.files.end()) {
    return nullptr;
  }
  ++fake.openFiles;
  return new OpenFile{path, 0};
}

uint32_t GetFinalPathNameByHandleW(void* handle, wchar_t* buffer, uint32_t capacity) {
  std::wstring path = L"\\\\?\\" + static_cast<OpenFile*>(handle)->path;
  if (Fake().finalPathFails || path.size() >= capacity) return 0;
  return CopyCut(path, buffer, capacity);
}

bool CompareStringOrdinal(const wchar_t* a, const wchar_t* b, uint32_t length) {
  // Upper case as the file system's table has it, for the letters of tests.
  for (uint32_t i = 0; i < length; ++i) {
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

bool GetNamedSecurityInfoW(const wchar_t* path, uint8_t* acl, uint32_t capacity, uint32_t& size) {
  auto list = Fake().accessLists.find(path);
  if (list == Fake().accessLists.end() || list->second.size() > capacity) return false;
  size = static_cast<uint32_t>(list->second.size());
  std::copy(list->second.begin(), list->second.end(), acl);
  return true;
}

bool ReadFile(void* handle, void* buffer, uint32_t size, uint32_t& read) {
  auto* open = static_cast<OpenFile*>(handle);
  read = 0;
  auto file = Fake().files.find(open->path);
  if (file == Fake().files.end()) return false;
  const std::string& bytes = file->second.bytes;
  if (open->position < bytes.size()) {
    read = static_cast<uint32_t>(std::min<size_t>(size, bytes.size() - open->position));
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(open->position), read,
                static_cast<char*>(buffer));
    open->position += read;
  }
  return true;
}

bool HashFileSha256(void* handle, uint8_t (&digest)[32]) {
  auto* open = static_cast<OpenFile*>(handle);
  auto file = Fake().files.find(open->path);
  if (Fake().hashFails || file == Fake().files.end()) return false;
  const std::string& bytes = file->second.bytes;
  size_t from = std::min(open->position, bytes.size());
  unsigned int length = 0;
  bool hashed = EVP_Digest(bytes.data() + from, bytes.size() - from, digest, &length, EVP_sha256(), nullptr) == 1;
  // The position ends at the end, as the real call reads to it.
  open->position = std::max(open->position, bytes.size());
  return hashed && length == sizeof digest;
}

int64_t GetSystemTimeSeconds() { return Fake().now; }

bool HashBytesSha256(const void* data, size_t size, uint8_t (&digest)[32]) {
  unsigned int length = 0;
  return EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) == 1 && length == sizeof digest;
}

void* CreateTemporaryFile() {
  FakePlatform& fake = Fake();
  std::wstring path = L"C:\\Temp\\spool" + std::to_wstring(fake.files.size());
  fake.files[path] = FakePlatform::File();
  ++fake.openFiles;
  return new OpenFile{path, 0};
}

bool RewindFile(void* handle) {
  static_cast<OpenFile*>(handle)->position = 0;
  return true;
}

bool WriteFile(void* handle, const void* data, uint32_t size) {
  FakePlatform& fake = Fake();
  auto* open = static_cast<OpenFile*>(handle);
  auto file = fake.files.find(open->path);
  if (file == fake.files.end()) return false;
  std::string& bytes = file->second.bytes;
  size_t room = fake.writeRoom >= 0 ? static_cast<size_t>(fake.writeRoom) : SIZE_MAX;
  size_t count = std::min<size_t>(size, room);
  bytes.resize(std::max(bytes.size(), open->position + count));
  std::copy_n(static_cast<const char*>(data), count,
              bytes.begin() + static_cast<std::ptrdiff_t>(open->position));
  open->position += count;
  if (fake.writeRoom >= 0) fake.writeRoom -= static_cast<int64_t>(count);
  return count == size;
}

FileType GetFileType(void*) { return FileType::kDisk; }

std::string LastErrorText() { return "the stand-in's error"; }

bool GetFileSizeEx(void* handle, uint64_t& size) {
  auto file = Fake().files.find(static_cast<OpenFile*>(handle)->path);
  if (file == Fake().files.end()) return false;
  size = file->second.bytes.size();
  return true;
}

bool FlushFileBuffers(void*) { return !Fake().flushFails; }

void CloseHandle(void* handle) {
  delete static_cast<OpenFile*>(handle);
  --Fake().openFiles;
}

void* FindFirstFileW(const wchar_t* pattern, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  // Only "FOLDER\\*" is listed: the files and folders right inside it.
  std::wstring folder(pattern);
  if (folder.size() < 2 || folder.compare(folder.size() - 2, 2, L"\\*") != 0) return nullptr;
  folder.pop_back();
  auto* entries = new std::vector<std::pair<std::wstring, bool>>();
  for (const auto& [path, file] : Fake().files) {
    if (path.compare(0, folder.size(), folder) != 0) continue;
    std::wstring rest = path.substr(folder.size());
    size_t slash = rest.find(L'\\');
    std::pair<std::wstring, bool> entry{rest.substr(0, slash), slash != std::wstring::npos};
    if (entries->empty() || entries->back() != entry) entries->push_back(entry);
  }
  ++Fake().openFiles;
  if (!FindNextFileW(entries, name, capacity, kind)) {
    FindClose(entries);
    return nullptr;
  }
  return entries;
}

bool FindNextFileW(void* listing, wchar_t* name, uint32_t capacity, EntryKind& kind) {
  auto* entries = static_cast<std::vector<std::pair<std::wstring, bool>>*>(listing);
  if (entries->empty()) return false;
  CopyCut(entries->front().first, name, capacity);
  kind = entries->front().second ? EntryKind::kFolder : EntryKind::kFile;
  entries->erase(entries->begin());
  return true;
}

void FindClose(void* listing) {
  delete static_cast<std::vector<std::pair<std::wstring, bool>>*>(listing);
  --Fake().openFiles;
}

void* GetStdInputHandle() { return &StandardInput(); }

bool StandardErrorIsConsole() { return Fake().standardErrorIsConsole; }

const char kCheckerName[] = "ThermalMapCheck";

const char* FirmwareTableProblem() { return "this machine gives no SMBIOS table"; }

bool WriteStandardOutput(const char* text, size_t size) { return std::fwrite(text, 1, size, stdout) == size; }

uint32_t GetComputerNameExW(wchar_t* buffer, uint32_t capacity) { return CopyCut(Fake().computerName, buffer, capacity); }

uint32_t GetFullPathNameW(const wchar_t* path, wchar_t* buffer, uint32_t capacity) {
  // The current folder is C:\Work; a path with a drive is full already.
  std::wstring full = path;
  if (full.size() < 2 || full[1] != L':') full = L"C:\\Work\\" + full;
  if (full.size() >= capacity) return 0;
  return CopyCut(full, buffer, capacity);
}

}  // namespace platform
