// What the parts of the fleet's page share: escaped text, bar charts and
// lists of a few names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_judge.h"

// Groups and moves listed on the page; the smaller ones are counted.
constexpr size_t kListedGroups = 50;

// `text` as HTML text.
std::string Html(const std::wstring& text);
std::string Html(std::string_view utf8);

// A bar of a chart: its label, its title (the label whole), its machines,
// and its kind, the CSS class that colours it.
struct Bar {
  std::wstring label;
  std::wstring title;
  uint64_t count;
  const char* kind;
};

// An SVG chart of `bars` of `total` machines, each labelled with its count
// and share.
std::string Bars(const std::vector<Bar>& bars, uint64_t total, const char* label);

// The first few `names` of a group of `machines`, and how many more.
std::string SomeNames(const std::vector<std::string>& names, uint64_t machines);

// The section "What is installed": a bar per map and state, and the largest
// groups of machines whose maps are not in place.
std::string InstalledSection(const FleetJudge& judge, const FleetSummary& summary);
