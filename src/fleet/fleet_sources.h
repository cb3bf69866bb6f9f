// The machines of a fleet, one at a time, from its inputs: firmware files,
// folders of them, inventory exports and standard input.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "check/map_hash.h"
#include "fleet/inventory_reader.h"

// What a machine tells of its platform name: it has no type 130 structure
// (or an empty platform name in an export), it has one, or it comes from an
// export without platform names.
enum class MachineKind : uint8_t { kNoPlatformStructure, kPlatformStructure, kPlatformUnknown };
constexpr size_t kMachineKinds = 3;
constexpr MachineKind kAllMachineKinds[kMachineKinds] = {
    MachineKind::kNoPlatformStructure, MachineKind::kPlatformStructure, MachineKind::kPlatformUnknown};

// The kind of a machine read from its firmware table, which holds a type 130
// structure or not.
inline MachineKind FirmwareMachineKind(bool hasPlatform) {
  return hasPlatform ? MachineKind::kPlatformStructure : MachineKind::kNoPlatformStructure;
}

// The format of every machine an export's row gives, one array, so that a
// row is told by its address.
inline constexpr char kInventoryRowFormat[] = "inventory row";

// A machine as its input gives it; its texts (UTF-8) stay valid until the
// next machine.
struct FleetMachine {
  std::string_view name;          // the file's name, or the row's first cell
  std::string_view error;         // why the input gives no machine here, or empty
  bool passedOver;                // with an error: a folder's entry that is no file to read
  const std::wstring* firmware;   // the file it comes from
  const char* format;             // the firmware file's format, or kInventoryRowFormat
  std::string_view biosVersion;   // as given, or as the firmware's strings read
  std::string_view platformName;  // empty without one
  MachineKind kind;
  // Whether it reports its installed maps (an export's row with their
  // hashes, or this machine on Windows), and then whether each is there,
  // and its hash.
  bool reportsInstalled;
  std::array<bool, 2> installed;
  std::array<MapHash, 2> installedHash;
  // This machine's: why each installed map that is there cannot be read
  // (empty: it could); null for a row or a file.
  const std::array<std::string, 2>* unreadable;
  bool plainTexts;             // no text holds a comma, a quote or a line break
  std::string_view written;    // when the row was written, as it gives it; empty without one
  uint32_t source;             // the number of the file or stream it comes from, in reading order
  uint64_t line;               // its line in an export; 0 for a file
  bool ownRow;                 // a row of the checker's own CSV: a machine's report of itself
  bool superseded;             // such a row, written as superseded by a later one
};

// How the error of a row superseded by another of its machine begins.
inline constexpr char kSupersededBy[] = "superseded by ";

// The last part of `path`, in UTF-8.
std::string FileName(const std::wstring& path);

// Receives each machine of a fleet, in the order of the inputs.
using MachineSink = void (*)(const FleetMachine& machine, void* context);

// The name that stands for standard input among the inputs.
constexpr wchar_t kStandardInput[] = L"-";

// Which reading of a fleet's inputs this is. The first (`counting`) hands on
// only what can be known by name: every machine with `everyMachine`, else
// the rows that report installed maps; it says nothing on standard error,
// and keeps each stream's bytes in a temporary file, which the second
// reading reads before the rest of the stream.
struct FleetPass {
  // A stream as the first reading left it: still open (never opened again,
  // so that a FIFO's writer is not waited for twice), its bytes read so far
  // in a temporary file, and whether it reached its end.
  struct KeptStream {
    void* file;
    bool ownFile;  // opened by the reading (not standard input): closed with the pass
    void* kept;
    bool ended;
  };
  bool counting = false;
  bool everyMachine = false;
  std::map<uint32_t, KeptStream> streams;  // by the number of its source
  bool keepFailed = false;  // a stream's bytes could not all be kept
  FleetPass() = default;
  FleetPass(const FleetPass&) = delete;
  FleetPass& operator=(const FleetPass&) = delete;
  ~FleetPass();
};

// Reads the inputs in order and hands every machine to `take`: a file is one
// machine or an inventory export, a folder every file right inside it (by
// name), "-" an inventory export on standard input. An input that gives no
// machine is one with an error. Says once on standard error when an export
// has no platform names.
void ReadFleet(const std::vector<std::wstring>& inputs, const InventoryColumns& columns,
               MachineSink take, void* context, FleetPass& pass);
