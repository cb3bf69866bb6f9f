// What the installer's selection reads of a machine's texts, taken from
// their UTF-8 without converting them when they are short, so that a row of
// an export costs a few hundred instructions. The result is always the
// selection's own: the same token as FirstVersionToken takes from the
// capture buffer, and the same platform name as the capture buffer holds.
#pragma once

#include <string>
#include <string_view>

// The first dot-separated token of BIOS version `text` (leading dots passed
// over; empty without one). `held` holds it where it is no part of `text`.
std::string_view SelectedToken(std::string_view text, std::string& held);

// Platform name `text` as the capture buffer holds it: cut at 259 UTF-16
// units or a zero character. `held` holds it where it is no part of `text`.
std::string_view SelectedPlatformName(std::string_view text, std::string& held);
