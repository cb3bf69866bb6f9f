// What a file is, told by its start: an inventory export, text meant as one
// that is not (and what is wrong with it), or anything else, such as a
// firmware table.
#pragma once

#include <string>
#include <vector>

#include "fleet/inventory_reader.h"

// The start of a file that tells an export from a firmware file: a header
// is shorter, and a dump is whole in it.
constexpr size_t kStartBytes = 1 << 16;

enum class FileStart { kExport, kMistakenExport, kOther };

// What a file whose first bytes are `start` is (`more`: more bytes follow),
// with `columns` naming its columns, read by `reader`; for text meant as an
// export that is not, or text that TextMistake knows, sets `mistake`. Text of one column (notes, say) was
// not meant as one; text with no line end in its start has a header longer
// than the start, which the export's own reading judges. `reader` keeps the
// header's names, and must be started again before it reads more.
FileStart ClassifyStart(const std::string& start, bool more, const InventoryColumns& columns,
                        InventoryReader& reader, std::string& mistake);

// What text that is neither an export nor a firmware table is, told by its
// `start`, for a message: dmidecode's text output, or UTF-16 without a
// byte-order mark; empty otherwise.
std::string TextMistake(const std::string& start);

// What is wrong with an export whose header read as `header` by `reader`,
// saying what to do; empty for kRead.
std::string HeaderMistake(InventoryHeader header, const InventoryReader& reader, const InventoryColumns& columns);

// An export's column names as a list for a message: the first twenty, each
// cut to 40 characters, as the console shows them.
std::string ColumnList(const std::vector<std::string>& names);

// Whether `path` names an inventory export (or standard input).
bool IsInventory(const std::wstring& path, const InventoryColumns& columns);

// What keeps file `path` from being read as an inventory export though it
// is text meant as one; empty when it is an export, or not meant as one.
std::string ExportMistake(const std::wstring& path, const InventoryColumns& columns);
