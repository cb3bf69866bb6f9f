#include "check/kit_seal.h"

#include <algorithm>
#include <map>

#include "check/files.h"
#include "check/json_text.h"
#include "common/utf8.h"
#include "install/deploy.h"
#include "install/platform_table.h"
#include "platform/platform.h"

namespace {

// A seal larger than this is no kit's: it is not read.
constexpr uint64_t kLargestSeal = 1 << 20;

constexpr char kReleasePrefix[] = "# release: ";

// The programs a seal lists where they stand beside the table.
constexpr const wchar_t* kKitPrograms[] = {L"ThermalMapInstaller.exe", L"ThermalMapCheck.exe"};

// A kit's files by their paths relative to the kit, with "/" between
// folders, in byte order as sha256sum's lines sort.
using KitFiles = std::map<std::string, MapHash>;

// The path of the open `file` relative to the kit whose final path is
// `kitFolder`, with "/"; empty where it lies outside the kit.
std::string RelativePath(void* file, const std::wstring& kitFolder) {
  std::wstring path = FinalPathOf(file);
  if (!LiesInside(path, kitFolder)) return "";
  size_t from = kitFolder.size() + (kitFolder.back() == platform::kPathSeparator ? 0 : 1);
  std::string relative = Utf8FromWide(path.substr(from).c_str());
  std::replace(relative.begin(), relative.end(), static_cast<char>(platform::kPathSeparator), '/');
  return relative;
}

std::wstring FinalPathOfFolder(const std::wstring& folder) {
  void* opened = platform::CreateFileW(folder.c_str(), platform::FileAccess::kOpenFolder);
  if (opened == nullptr) return L"";
  std::wstring path = FinalPathOf(opened);
  platform::CloseHandle(opened);
  return path;
}

// Opens `path` to read only where it is a file on a disk inside the kit
// (nothing that could block, nothing a link leads out to); sets `relative`.
void* OpenKitFile(const std::wstring& path, const std::wstring& kitFolder, std::string& relative) {
  void* file = platform::CreateFileW(path.c_str(), platform::FileAccess::kReadNoWait);
  if (file == nullptr) return nullptr;
  relative = platform::GetFileType(file) == platform::FileType::kDisk ? RelativePath(file, kitFolder) : "";
  if (relative.empty()) {
    platform::CloseHandle(file);
    return nullptr;
  }
  return file;
}

// Adds file `path` of the kit, hashed, to `files`, where it is there;
// false where it is there but cannot be read as a file of the kit.
bool AddKitFile(const std::wstring& path, const std::wstring& kitFolder, KitFiles& files) {
  if (platform::GetFileAttributesW(path.c_str()) == platform::kInvalidFileAttributes) return true;
  std::string relative;
  void* file = OpenKitFile(path, kitFolder, relative);
  if (file == nullptr) return false;
  MapHash hash{};
  bool hashed = HashOpenFile(file, hash);
  if (hashed) files.emplace(relative, hash);
  platform::CloseHandle(file);
  return hashed;
}

// The files a seal of `kit` lists: the table, the maps the installer would
// install of every folder an entry names (as ReadListedFolders hashed
// them), and the programs beside the table. `unread` gets the paths of
// those that are there but cannot be read, which a seal would leave out.
KitFiles ListKitFiles(const KitSnapshot& kit, std::vector<std::wstring>& unread) {
  KitFiles files;
  std::wstring kitFolder = FinalPathOfFolder(kit.path);
  std::wstring beside = kit.path + platform::kPathSeparator;
  if (kitFolder.empty()) {
    unread.push_back(kit.path);
    return files;
  }
  for (const std::wstring& name : {std::wstring(kPlatformTableFileName), std::wstring(kKitPrograms[0]),
                                   std::wstring(kKitPrograms[1])}) {
    if (!AddKitFile(beside + name, kitFolder, files)) unread.push_back(beside + name);
  }
  for (const auto& folder : kit.folders) {
    for (const MapSource& map : folder.second) {
      if (!map.exists) continue;
      std::string relative;
      void* file = map.inKit ? OpenKitFile(map.source, kitFolder, relative) : nullptr;
      if (file == nullptr) {
        unread.push_back(map.source);
        continue;
      }
      files.emplace(relative, map.hash);
      platform::CloseHandle(file);
    }
  }
  return files;
}

// The seal's lines of `files`, without the label's.
std::string SealLines(const KitFiles& files) {
  std::string lines;
  for (const auto& [path, hash] : files) lines += HexOf(hash) + "  " + path + "\n";
  return lines;
}

// Whether `path`, as a seal's line gives it, names a file inside the kit:
// relative, with "/" between names that are neither empty, "." nor "..".
bool IsKitPath(const std::string& path) {
  if (path.empty() || path.find_first_of("\\:") != std::string::npos) return false;
  size_t start = 0;
  while (true) {
    size_t end = path.find('/', start);
    std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (name.empty() || name == "." || name == "..") return false;
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// A line of a seal: a file it lists, where its line stands.
struct SealLine {
  int line;
  MapHash hash;
};

// Reads the seal `bytes` of the kit into `release` and `listed`; each line
// that is neither a comment nor "HASH  PATH" is a finding.
void ReadSealLines(const std::string& bytes, const std::wstring& sealFile, std::string& release,
                   std::map<std::string, SealLine>& listed, std::vector<KitFinding>& findings) {
  // A seal saved by a Windows editor may open with a UTF-8 byte-order mark.
  size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (int line = 1; start < bytes.size(); ++line) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string text = bytes.substr(start, end - start);
    start = end + 1;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    // sha256sum -c passes over a blank line too.
    if (text.empty()) continue;
    if (line == 1 && text.rfind(kReleasePrefix, 0) == 0) {
      release = text.substr(sizeof kReleasePrefix - 1);
      continue;
    }
    if (text[0] == '#') continue;
    MapHash hash{};
    // sha256sum marks a file read in binary mode with "*" for its second blank.
    bool formed = text.size() > kHexLength + 2 && ParseHex(text.substr(0, kHexLength), hash) &&
                  text[kHexLength] == ' ' && (text[kHexLength + 1] == ' ' || text[kHexLength + 1] == '*');
    std::string path = formed ? text.substr(kHexLength + 2) : "";
    if (!formed || !IsKitPath(path) || listed.count(path) > 0) {
      std::string why = !formed ? "is neither a comment nor \"HASH  PATH\" (64 hexadecimal digits, two blanks, a path)"
                        : listed.count(path) > 0 ? "lists " + path + " again"
                                                 : "names " + path + ", which is no path inside the kit";
      findings.push_back({true, "manifest-malformed", sealFile, line, "the line " + why});
      continue;
    }
    listed.emplace(path, SealLine{line, hash});
  }
}

// The hash of the kit file `relative` (with "/"), which no entry names
// now; false where it is not there, or not a file inside the kit.
bool HashListedFile(const KitSnapshot& kit, const std::wstring& kitFolder, const std::string& relative,
                    MapHash& hash) {
  std::wstring path = kit.path + platform::kPathSeparator + WideFromUtf8(relative);
  std::replace(path.begin(), path.end(), L'/', platform::kPathSeparator);
  std::string opened;
  void* file = OpenKitFile(path, kitFolder, opened);
  if (file == nullptr) return false;
  bool hashed = HashOpenFile(file, hash);
  platform::CloseHandle(file);
  return hashed;
}

// Compares what the checker read of `kit` with the files its seal lists.
void CompareWithSeal(KitSnapshot& kit, const KitFiles& files, const std::wstring& sealFile,
                     const std::string& bytes) {
  std::vector<KitFinding>& findings = kit.sealFindings;
  std::map<std::string, SealLine> listed;
  std::string release;
  ReadSealLines(bytes, sealFile, release, listed, findings);
  if (!release.empty()) kit.release = release;
  // sha256sum -c fails a seal without a line to check, and so does this.
  if (listed.empty()) findings.push_back({true, "manifest-malformed", sealFile, 0, "the seal lists no file"});
  std::wstring kitFolder = FinalPathOfFolder(kit.path);
  std::string lists = "release " + kit.release + " lists";
  for (const auto& entry : listed) {
    const std::string& path = entry.first;
    const SealLine& line = entry.second;
    auto read = files.find(path);
    MapHash hash{};
    bool there = read != files.end() ? (hash = read->second, true) : HashListedFile(kit, kitFolder, path, hash);
    if (there && hash == line.hash) continue;
    std::string message = path;
    message += there ? " is not the bytes " : " is not in the kit, or cannot be read, though ";
    message += lists;
    if (!there) message += " it";
    findings.push_back({true, there ? "kit-altered" : "kit-file-missing", sealFile, line.line, message});
  }
  for (const auto& file : files) {
    bool program = std::any_of(std::begin(kKitPrograms), std::end(kKitPrograms),
                               [&file](const wchar_t* name) { return Utf8FromWide(name) == file.first; });
    if (program || listed.count(file.first) > 0) continue;
    std::string message = file.first;
    message += " is read by the installer, but ";
    message += lists;
    message += " no such file";
    findings.push_back({false, "kit-file-unlisted", sealFile, 0, message});
  }
}

}  // namespace

void ReadKitSeal(KitSnapshot& kit, bool baseline) {
  ReadListedFolders(kit);
  std::vector<std::wstring> unread;
  KitFiles files = ListKitFiles(kit, unread);
  std::string lines = SealLines(files);
  platform::HashBytesSha256(lines.data(), lines.size(), kit.fingerprint.bytes);
  size_t slash = kit.path.find_last_of(platform::kPathSeparator);
  kit.release = Utf8FromWide((slash == std::wstring::npos ? kit.path : kit.path.substr(slash + 1)).c_str());
  std::wstring sealPath = kit.path + platform::kPathSeparator + kSealFileName;
  std::wstring sealFile = baseline ? sealPath : kSealFileName;
  kit.sealed = platform::GetFileAttributesW(sealPath.c_str()) != platform::kInvalidFileAttributes;
  if (!kit.sealed) return;
  // The seal is hostile input too: a file on a disk inside the kit, or none.
  std::string bytes;
  std::string relative;
  uint64_t size = 0;
  void* file = OpenKitFile(sealPath, FinalPathOfFolder(kit.path), relative);
  bool read = file != nullptr && platform::GetFileSizeEx(file, size) && size <= kLargestSeal &&
              AppendFileBytes(file, bytes, size);
  if (file != nullptr) platform::CloseHandle(file);
  if (!read) {
    kit.sealFindings.push_back({true, "manifest-malformed", sealFile, 0,
                                file == nullptr  ? "the seal is not a file inside the kit that can be read"
                                : size > kLargestSeal ? "the seal is larger than 1 MiB"
                                                   : "the seal cannot be read"});
    return;
  }
  CompareWithSeal(kit, files, sealFile, bytes);
}

std::string WriteKitSeal(const KitSnapshot& kit, const std::string& label, size_t& files) {
  std::vector<std::wstring> unread;
  KitFiles listed = ListKitFiles(kit, unread);
  files = listed.size();
  if (!unread.empty()) return ConsoleText(unread[0].c_str()) + " cannot be read, so the seal would leave it out";
  // sha256sum escapes such names, and a seal is read as it writes them.
  auto unlistable = std::find_if(listed.begin(), listed.end(), [](const auto& entry) { return !IsKitPath(entry.first); });
  if (unlistable != listed.end()) return unlistable->first + " is a name a seal cannot list";
  std::string text = kReleasePrefix + label + "\n" + SealLines(listed);
  std::wstring path = kit.path + platform::kPathSeparator + kSealFileName;
  std::wstring temporary = path + L".new";
  // Whatever stands at the temporary's name (a link planted there, a FIFO)
  // goes first: the seal is written only into a file of its own.
  platform::DeleteFileW(temporary.c_str());
  void* file = platform::CreateFileW(temporary.c_str(), platform::FileAccess::kCreateNew);
  bool written = file != nullptr && platform::WriteFile(file, text.data(), static_cast<uint32_t>(text.size())) &&
                 platform::FlushFileBuffers(file);
  if (file != nullptr) platform::CloseHandle(file);
  if (written && platform::MoveFileExW(temporary.c_str(), path.c_str())) return "";
  platform::DeleteFileW(temporary.c_str());
  return "SHA256SUMS cannot be written";
}

std::vector<KitFinding> KitFindings(const KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines) {
  UseKit(kit);
  std::vector<KitFinding> findings = FindKitMistakes();
  findings.insert(findings.end(), kit.sealFindings.begin(), kit.sealFindings.end());
  for (const KitSnapshot* baseline : baselines) {
    findings.insert(findings.end(), baseline->sealFindings.begin(), baseline->sealFindings.end());
  }
  return findings;
}

std::string ReleaseText(const KitSnapshot& kit) { return ConsoleText(WideFromUtf8(kit.release).c_str()); }

std::string KitIdentityText(const KitSnapshot& kit) {
  return "release " + ReleaseText(kit) + ", fingerprint " + HexOf(kit.fingerprint).substr(0, 12) +
         (kit.sealed ? ", sealed" : ", not sealed");
}

void AppendKitIdentityJson(std::string& json, const char* prefix, const KitSnapshot& kit) {
  json += std::string(",\"") + prefix + "release\":";
  AppendJsonUtf8(json, kit.release);
  json += std::string(",\"") + prefix + "fingerprint\":\"" + HexOf(kit.fingerprint) + "\"";
  json += std::string(",\"") + prefix + "sealed\":" + (kit.sealed ? "true" : "false");
}
