// How reading a fleet's inputs hands their machines on, shared by the
// kinds of input: an export's rows, a folder's files, a single file.
#pragma once

#include <string>
#include <string_view>

#include "check/machine_check.h"
#include "fleet/fleet_sources.h"
#include "fleet/inventory_reader.h"
#include "inventory/firmware_file.h"

// What reading the inputs keeps from one to the next, so that a fleet takes
// its buffers from the heap once, not once for each file.
struct FleetReading {
  FleetPass* pass = nullptr;
  uint32_t source = 0;  // the number of the file or stream being read, from 1
  const InventoryColumns* columns = nullptr;
  MachineSink take = nullptr;
  void* context = nullptr;
  FleetMachine machine{};
  std::string name;    // the texts the machine's views show, where no buffer
  std::string error;   // of the reader holds them
  std::string biosVersion;
  std::string platformName;
  std::wstring firmware;
  std::string bytes;  // a file's bytes, or the start of an export
  FirmwareImage image{};
  MachineCheck report{};
  InventoryReader reader{nullptr, nullptr};
  InventoryRow row{};
  bool saidNoPlatforms = false;
  bool saidNoHashes = false;
};

// Hands on a machine named `name` that is `error`; `passedOver`, a folder's
// entry that is no file to read.
void GiveError(FleetReading& reading, std::string_view name, const std::string& error, bool passedOver = false);

// The rows of an export whose first bytes are reading.bytes, the rest in
// `file` (null: none).
void ReadExport(FleetReading& reading, const std::wstring& path, void* file);

// The rows of the stream `file` (standard input, a pipe), source number
// reading.source: the first reading keeps its bytes and leaves it open
// (`ownFile`: the pass closes it), the second reads what was kept, then the
// rest (`file` unused).
void ReadStream(FleetReading& reading, const std::wstring& path, void* file, bool ownFile);

// The open file `file` on a disk, of `path`: an export or a firmware file;
// `inFolder`, one of a folder's files.
void ReadDiskFile(FleetReading& reading, const std::wstring& path, void* file, bool inFolder);

// Every file right inside `folder`, by name.
void ReadFolder(FleetReading& reading, const std::wstring& folder);
