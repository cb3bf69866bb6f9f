#include "fleet/export_start.h"

#include <algorithm>

#include "check/files.h"
#include "check/json_text.h"
#include "common/utf8.h"
#include "fleet/fleet_sources.h"
#include "platform/platform.h"

namespace {

// What file `path` is, by its start.
FileStart ClassifyFile(const std::wstring& path, const InventoryColumns& columns, std::string& mistake) {
  void* file = platform::CreateFileW(path.c_str(), platform::FileAccess::kReadExisting);
  if (file == nullptr) return FileStart::kOther;
  // A stream (a pipe such as "<(...)") is read as an export, as standard
  // input is: what is read of it here would be gone.
  if (platform::GetFileType(file) == platform::FileType::kStream) {
    platform::CloseHandle(file);
    return FileStart::kExport;
  }
  std::string start;
  uint64_t size = 0;
  bool read = platform::GetFileSizeEx(file, size) && AppendFileBytes(file, start, kStartBytes);
  platform::CloseHandle(file);
  InventoryReader reader(nullptr, nullptr);
  return read ? ClassifyStart(start, size > start.size(), columns, reader, mistake) : FileStart::kOther;
}

}  // namespace

std::string TextMistake(const std::string& start) {
  if (start.compare(0, 11, "# dmidecode") == 0) {
    return "the text output of dmidecode, not a firmware table: write the table with dmidecode --dump-bin FILE";
  }
  // UTF-16 of ASCII text: every other byte zero, from the first.
  size_t checked = std::min<size_t>(start.size() & ~size_t{1}, 32);
  bool utf16 = checked >= 8;
  for (size_t i = 0; utf16 && i < checked; i += 2) {
    auto unit = static_cast<unsigned char>(start[i + (start[0] == '\0' ? 1 : 0)]);
    char zero = start[i + (start[0] == '\0' ? 0 : 1)];
    utf16 = zero == '\0' && (unit >= 0x20 || unit == '\r' || unit == '\n') && unit < 0x7F;
  }
  if (utf16) {
    return "UTF-16 text without a byte-order mark: save it as UTF-8, or as UTF-16 with its byte-order mark "
           "(PowerShell's Export-Csv and Out-File write one)";
  }
  return "";
}

FileStart ClassifyStart(const std::string& start, bool more, const InventoryColumns& columns,
                        InventoryReader& reader, std::string& mistake) {
  mistake = TextMistake(start);
  if (!mistake.empty() || !StartsAsText(start)) return FileStart::kOther;
  if (more && start.find_first_of("\r\n") == std::string::npos) return FileStart::kExport;
  StringBytes bytes{&start, 0};
  reader.Start(ReadStringBytes, &bytes);
  InventoryHeader header = reader.ReadHeader(columns);
  if (header == InventoryHeader::kRead) return FileStart::kExport;
  if (header == InventoryHeader::kNoBiosVersionColumn && reader.HeaderNames().size() < 2) return FileStart::kOther;
  mistake = HeaderMistake(header, reader, columns);
  return FileStart::kMistakenExport;
}

std::string HeaderMistake(InventoryHeader header, const InventoryReader& reader, const InventoryColumns& columns) {
  switch (header) {
    case InventoryHeader::kRead: break;
    case InventoryHeader::kEmpty: return "empty: an export needs a header line and a row per machine";
    case InventoryHeader::kTooLong: return "its header is longer than 1 MiB";
    case InventoryHeader::kNoBiosVersionColumn:
      return (columns.biosVersion.empty()
                  ? std::string("an export whose header names no BIOS version column (bios_version or "
                                "SMBIOSBIOSVersion)")
                  : "an export whose header has no column \"" + columns.biosVersion + "\"") +
             "; its columns are " + ColumnList(reader.HeaderNames()) +
             ": name the one that holds the BIOS version with --column bios_version=NAME";
  }
  return "";
}

std::string ColumnList(const std::vector<std::string>& names) {
  std::string list;
  for (size_t i = 0; i < names.size() && i < 20; ++i) {
    std::string name = ConsoleText(WideFromUtf8(names[i].substr(0, 40)).c_str());
    list += (i == 0 ? "\"" : ", \"") + name + "\"";
  }
  return names.size() > 20 ? list + " and " + std::to_string(names.size() - 20) + " more" : list;
}

bool IsInventory(const std::wstring& path, const InventoryColumns& columns) {
  std::string mistake;
  return path == kStandardInput || ClassifyFile(path, columns, mistake) == FileStart::kExport;
}

std::string ExportMistake(const std::wstring& path, const InventoryColumns& columns) {
  std::string mistake;
  ClassifyFile(path, columns, mistake);
  return mistake;
}
