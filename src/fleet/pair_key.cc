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
  // character ends the text. A loop of its own: find_first_of looks each
  // character up in the set, at a cost that showed on millions of rows.
  const char* end = text.data() + text.size();
  const char* start = text.data();
  while (start < end && *start == '.') ++start;
  const char* stop = start;
  while (stop < end && *stop != '.' && *stop != '\0') ++stop;
  return {start, static_cast<size_t>(stop - start)};
}

std::string_view SelectedPlatformName(std::string_view text, std::string& held) {
  if (!FitsCaptureBuffer(text)) return held = Captured(text, false);
  return text.substr(0, text.find('\0'));
}
