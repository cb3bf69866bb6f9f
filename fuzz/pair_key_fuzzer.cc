// Arbitrary bytes as a BIOS version or platform name text, decoded as the
// inventory reader leaves it (UTF-8, bytes that are none as Windows-1252,
// zero characters kept). The fleet's key must read the same token and
// platform name from it as the installer reads from its capture buffer:
// where they differ, two machines that the installer tells apart would share
// one decision. Any difference aborts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/utf8.h"
#include "common/wide_text.h"
#include "fleet/pair_key.h"
#include "fleet/text_decoder.h"
#include "install/thermal_map_source.h"
#include "inventory/bios_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextDecoder decoder;
  std::string text;
  decoder.Decode(reinterpret_cast<const char*>(data), size, true, text);

  // The installer's reading: the text in a capture buffer, then its token.
  wchar_t captured[ArraySize(BiosVersionText)];
  CopyUtf8AsWide(text, captured, ArraySize(captured));
  std::string platformName = Utf8FromWide(captured);
  const wchar_t* token = FirstVersionToken(captured);
  std::string installerToken = token != nullptr ? Utf8FromWide(token) : "";

  std::string held;
  if (SelectedToken(text, held) != installerToken) std::abort();
  if (SelectedPlatformName(text, held) != platformName) std::abort();
  return 0;
}
