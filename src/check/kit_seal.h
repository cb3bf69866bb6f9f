// A kit's seal and identity. The seal is SHA256SUMS in the kit folder: a
// line "# release: LABEL", then a line "HASH  PATH" per file the installer
// reads of the kit (the table, both maps of every folder an entry names) and
// per program beside the table, sorted by path, in sha256sum's own format,
// so that `sha256sum -c SHA256SUMS` checks a kit on any Linux machine and
// Get-FileHash on any Windows one. A kit's fingerprint is the SHA-256 of
// those lines less the label's, computed from its files whether it is sealed
// or not: two kits of the same bytes have the same fingerprint.
#pragma once

#include <string>
#include <vector>

#include "check/kit_findings.h"
#include "check/kit_snapshot.h"

constexpr wchar_t kSealFileName[] = L"SHA256SUMS";

// Reads the listed folders of `kit` and sets its release, fingerprint and
// seal; where SHA256SUMS seals it, compares every file it lists with what
// the checker reads, into kit.sealFindings. `baseline`: the findings name
// the kit's path, as it is not the kit the other findings are of.
void ReadKitSeal(KitSnapshot& kit, bool baseline);

// Writes the seal of `kit` (ReadKitSeal read it) as release `label` through
// a new file beside SHA256SUMS, so that an existing seal is replaced whole
// or not at all; why it was not written (a file it would list cannot be
// read, a name it cannot list, a failed write), or empty. `files` is set to
// the number of files it lists.
std::string WriteKitSeal(const KitSnapshot& kit, const std::string& label, size_t& files);

// The findings of `kit`, then its seal's, then the seals' of `baselines`;
// leaves `kit` the kit in use.
std::vector<KitFinding> KitFindings(const KitSnapshot& kit, const std::vector<KitSnapshot*>& baselines);

// The kit's release label for the console (printable ASCII, others '?').
std::string ReleaseText(const KitSnapshot& kit);

// "release 1.1, fingerprint 3f2a9c0d1e2f, sealed" (or "not sealed"): the
// fingerprint's first 12 hexadecimal digits.
std::string KitIdentityText(const KitSnapshot& kit);

// Appends ,"PREFIXrelease", "PREFIXfingerprint" and "PREFIXsealed" of `kit`.
void AppendKitIdentityJson(std::string& json, const char* prefix, const KitSnapshot& kit);
