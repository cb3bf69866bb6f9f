#include "tests/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>

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

// The profile reader's blanks: tab to carriage return, ^Z and space.
bool IsProfileBlank(wchar_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == L' '; }

std::wstring Trim(const std::wstring& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsProfileBlank(text[first])) ++first;
  while (last > first && IsProfileBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// A matching pair of quotes around a value is not part of it.
std::wstring Unquote(const std::wstring& value) {
  if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

struct ProfileEntry {
  std::wstring key;
  bool hasValue;  // a line without "=" names a key that reads as absent
  std::wstring value;
};

// The entries of the first section named `section`, in file order. Lines end at CR or LF; a section header runs from "["
// to the last "]" of its line.
void ReadSection(const std::wstring& contents, const std::wstring& section,
                 std::vector<ProfileEntry>& entries) {
  bool inSection = false;
  bool found = false;
  size_t start = 0;
  while (start < contents.size()) {
    size_t stop = contents.find_first_of(L"\r\n", start);
    if (stop == std::wstring::npos) stop = contents.size();
    std::wstring line = Trim(contents.substr(start, stop - start));
    start = stop + 1;
    if (line.empty()) continue;
    size_t close = line.rfind(L']');
    if (line[0] == L'[' && close != std::wstring::npos) {
      if (found) return;
      inSection = SameName(Trim(line.substr(1, close - 1)), section);
      found = inSection;
      continue;
    }
    if (!inSection) continue;
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) {
      entries.push_back({line, false, L""});
    } else {
      entries.push_back({Trim(line.substr(0, equals)), true, Unquote(Trim(line.substr(equals + 1)))});
    }
  }
}

uint32_t CopyCut(const std::wstring& text, wchar_t* buffer, uint32_t capacity) {
  uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(text.size()), capacity - 1);
  std::copy_n(text.begin(), count, buffer);
  buffer[count] = L'\0';
  return count;
}

// The key names, each terminated, the list closed by one more terminator;
// a list that does not fit is cut and answers capacity - 2.
uint32_t ListKeys(const std::vector<ProfileEntry>& entries, wchar_t* buffer, uint32_t capacity) {
  std::wstring list;
  for (const ProfileEntry& entry : entries) {
    if (entry.hasValue && entry.key.rfind(L";", 0) != 0) list += entry.key + L'\0';
  }
  if (list.size() + 1 <= capacity) {
    std::copy(list.begin(), list.end(), buffer);
    buffer[list.size()] = L'\0';
    return static_cast<uint32_t>(list.size());
  }
  if (capacity < 2) {
    if (capacity == 1) buffer[0] = L'\0';
    return 0;
  }
  std::copy_n(list.begin(), capacity - 2, buffer);
  buffer[capacity - 2] = L'\0';
  buffer[capacity - 1] = L'\0';
  return capacity - 2;
}

}  // namespace

FakePlatform& Fake() {
  static FakePlatform fake;
  return fake;
}

void ResetFake() {
  Fake() = FakePlatform();
  Heap().live.clear();
}

size_t LiveHeapBlocks() { return Heap().live.size(); }

std::vector<uint8_t> RawSmbiosBlock(const std::vector<uint8_t>& table) {
  uint32_t length = static_cast<uint32_t>(table.size());
  std::vector<uint8_t> block = {0,
                                3,
                                2,
                                0,
                                static_cast<uint8_t>(length),
                                static_cast<uint8_t>(length >> 8),
                                static_cast<uint8_t>(length >> 16),
                                static_cast<uint8_t>(length >> 24)};
  block.insert(block.end(), table.begin(), table.end());
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

uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* fallback, wchar_t* buffer,
                                  uint32_t capacity, const wchar_t* file) {
  FakePlatform& fake = Fake();
  ++fake.profileReads;
  if (capacity == 0) return 0;
  // The last section read is kept, as the platform keeps a parsed file, so
  // that a test of many reads stays fast.
  static std::wstring parsedContents, parsedSection;
  static std::vector<ProfileEntry> entries;
  static const std::wstring kNoFile;
  auto found = fake.profileFiles.find(file);
  const std::wstring& contents = found != fake.profileFiles.end() ? found->second : kNoFile;
  if (contents != parsedContents || section != parsedSection) {
    parsedContents = contents;
    parsedSection = section;
    entries.clear();
    ReadSection(contents, section, entries);
  }
  if (key == nullptr) {
    uint32_t length = ListKeys(entries, buffer, capacity);
    return length > 0 ? length : CopyCut(fallback, buffer, capacity);
  }
  // The first key of that name decides, even one without a value.
  for (const ProfileEntry& entry : entries) {
    if (SameName(entry.key, Trim(key))) {
      return CopyCut(entry.hasValue ? entry.value : fallback, buffer, capacity);
    }
  }
  return CopyCut(fallback, buffer, capacity);
}

bool Wow64EnableWow64FsRedirection(bool enable) {
  Fake().calls.push_back(enable ? L"Wow64EnableWow64FsRedirection(TRUE)"
                                : L"Wow64EnableWow64FsRedirection(FALSE)");
  return Fake().redirectionCanBeSwitched;
}

bool CopyFileW(const wchar_t* source, const wchar_t* target, bool failIfExists) {
  FakePlatform& fake = Fake();
  fake.calls.push_back(std::wstring(L"CopyFileW(") + source + L", " + target +
                       (failIfExists ? L", TRUE)" : L", FALSE)"));
  return std::find(fake.missingFiles.begin(), fake.missingFiles.end(), source) ==
         fake.missingFiles.end();
}

}  // namespace platform
