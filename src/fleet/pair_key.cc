#include "fleet/pair_key.h"

#include "common/utf8.h"
#include "common/wide_text.h"
#include "install/thermal_map_source.h"
#include "inventory/bios_decoders.h"

namespace {

// UTF-8 never takes fewer bytes than UTF-16 units, so text of fewer bytes
// than the capture buffer's units is held there whole.
bool FitsCaptureBuffer(std::string_view text) { return text.size() < ArraySize(BiosVersionText); }

// `text` as the capture buffer holds it, or its first token, by the
// installer's own functions.
std::string Captured(std::string_view text, bool token) {
  wchar_t buffer[ArraySize(BiosVersionText)];
  CopyUtf8AsWide(text, buffer, ArraySize(buffer));
  const wchar_t* selected = token ? FirstVersionToken(buffer) : buffer;
  return selected != nullptr ? Utf8FromWide(selected) : "";
}

}  // namespace

std::string_view SelectedToken(std::string_view text, std::string& held) {
  if (!FitsCaptureBuffer(text)) return held = Captured(text, true);
  // Leading dots are passed over; the token ends at a dot, or where a zero
  // character ends the text.
  size_t start = text.find_first_not_of('.');
  if (start == std::string_view::npos) return {};
  size_t stop = text.find_first_of(std::string_view(".\0", 2), start);
  return text.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop - start);
}

std::string_view SelectedPlatformName(std::string_view text, std::string& held) {
  if (!FitsCaptureBuffer(text)) return held = Captured(text, false);
  return text.substr(0, text.find('\0'));
}
