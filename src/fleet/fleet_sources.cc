#include "fleet/fleet_sources.h"

#include <algorithm>

#include "check/files.h"
#include "check/machine_check.h"
#include "common/utf8.h"
#include "fleet/export_start.h"
#include "fleet/fleet_reading.h"
#include "inventory/firmware_file.h"
#include "platform/platform.h"

std::string FileName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return Utf8FromWide((slash == std::wstring::npos ? path : path.substr(slash + 1)).c_str());
}

void GiveError(FleetReading& reading, std::string_view name, const std::string& error, bool passedOver) {
  reading.name = name;
  reading.error = error;
  reading.machine = FleetMachine{};
  reading.machine.name = reading.name;
  reading.machine.error = reading.error;
  reading.machine.passedOver = passedOver;
  reading.machine.firmware = &reading.firmware;
  reading.take(reading.machine, reading.context);
}

namespace {

// A firmware file whose bytes are reading.bytes; when it is none, the
// error is `exportMistake` where that is not empty.
void ReadDump(FleetReading& reading, const std::wstring& path, const std::string& exportMistake) {
  FirmwareImage& image = reading.image;
  ParseFirmwareFile(reading.bytes, image);
  if (image.error != nullptr) {
    return GiveError(reading, FileName(path),
                     !exportMistake.empty() ? exportMistake
                     : (image.format != nullptr ? std::string(image.format) + ", " : "") + image.error);
  }
  MachineCheck& report = reading.report;
  ReportFirmwareBlock(reinterpret_cast<const uint8_t*>(image.block.data()),
                      static_cast<uint32_t>(image.block.size()), report, false);
  reading.name = FileName(path);
  reading.biosVersion = Utf8FromWide(report.biosVersion.c_str());
  reading.platformName = Utf8FromWide(report.platformName.c_str());
  FleetMachine& machine = reading.machine;
  machine = FleetMachine{};
  machine.name = reading.name;
  machine.firmware = &reading.firmware;
  machine.format = image.format;
  machine.biosVersion = reading.biosVersion;
  machine.platformName = reading.platformName;
  machine.kind = FirmwareMachineKind(report.hasPlatform);
  machine.source = reading.source;
  reading.take(reading.machine, reading.context);
}

// A file named as an input: on a disk, or a stream (a pipe such as
// "<(...)"), which is read as an export, as standard input is.
void ReadInputFile(FleetReading& reading, const std::wstring& path) {
  reading.firmware = path;
  ++reading.source;
  // A stream the first reading left open is not opened again.
  if (!reading.pass->counting && reading.pass->streams.count(reading.source) != 0) {
    return ReadStream(reading, path, nullptr, false);
  }
  void* file = platform::CreateFileW(path.c_str(), platform::FileAccess::kReadExisting);
  if (file == nullptr) return GiveError(reading, FileName(path), UnreadableReason(path));
  if (platform::GetFileType(file) == platform::FileType::kStream) {
    ReadStream(reading, path, file, reading.pass->counting);
    // The pass closes it after the second reading.
    if (reading.pass->counting) return;
  } else {
    ReadDiskFile(reading, path, file, false);
  }
  platform::CloseHandle(file);
}

}  // namespace

void ReadDiskFile(FleetReading& reading, const std::wstring& path, void* file, bool inFolder) {
  reading.firmware = path;
  uint64_t size = 0;
  if (!platform::GetFileSizeEx(file, size)) return GiveError(reading, FileName(path), "cannot be read");
  std::string& bytes = reading.bytes;
  bytes.clear();
  std::string mistake;
  bool read = AppendFileBytes(file, bytes, std::min<uint64_t>(size, kStartBytes));
  FileStart start =
      read ? ClassifyStart(bytes, size > bytes.size(), *reading.columns, reading.reader, mistake) : FileStart::kOther;
  // A CSV of other columns among a share's rows is stray: naming a column
  // for the whole share would not mend it.
  if (inFolder && start == FileStart::kMistakenExport && !reading.reader.HeaderNames().empty() &&
      !reading.reader.HasColumn(kBiosVersionColumn)) {
    mistake = "a CSV file whose header (" + ColumnList(reading.reader.HeaderNames()) +
              ") names no BIOS version column: neither a machine's row nor an export, so it can be removed from "
              "the folder";
  }
  if (read && start == FileStart::kExport) {
    ReadExport(reading, path, file);
  } else if (reading.pass->counting && !reading.pass->everyMachine) {
    // A firmware file reports no maps: it is known by name only where
    // every machine is.
  } else if (read && size > kLargestFirmwareFile) {
    GiveError(reading, FileName(path), !mistake.empty() ? mistake : "too large to be a firmware table (over 16 MiB)");
  } else if (read && AppendFileBytes(file, bytes, size - bytes.size())) {
    ReadDump(reading, path, mistake);
  } else {
    GiveError(reading, FileName(path), "cannot be read");
  }
}

FleetPass::~FleetPass() {
  for (const auto& [source, stream] : streams) {
    if (stream.kept != nullptr) platform::CloseHandle(stream.kept);
    if (stream.ownFile) platform::CloseHandle(stream.file);
  }
}

void ReadFleet(const std::vector<std::wstring>& inputs, const InventoryColumns& columns,
               MachineSink take, void* context, FleetPass& pass) {
  FleetReading reading;
  reading.pass = &pass;
  reading.columns = &columns;
  reading.take = take;
  reading.context = context;
  for (const std::wstring& input : inputs) {
    if (input == kStandardInput) {
      void* in = platform::GetStdInputHandle();
      if (in != nullptr && platform::GetFileType(in) == platform::FileType::kFolder) {
        GiveError(reading, "standard input", "a folder: name the folder itself as an input");
        continue;
      }
      ++reading.source;
      ReadStream(reading, input, in, false);
    } else if (IsFolder(input.c_str())) {
      ReadFolder(reading, input);
    } else {
      ReadInputFile(reading, input);
    }
  }
}
