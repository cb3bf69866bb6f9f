#include "fleet/page_parts.h"

#include <algorithm>
#include <cstdio>

#include "check/json_text.h"
#include "common/utf8.h"

namespace {

std::string Share(uint64_t count, uint64_t total) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", total == 0 ? 0.0 : 100.0 * static_cast<double>(count) / static_cast<double>(total));
  return text;
}

}  // namespace

std::string Html(const std::wstring& text) {
  std::string out;
  AppendHtmlText(out, text.c_str());
  return out;
}

std::string Html(std::string_view utf8) { return Html(WideFromUtf8(utf8)); }

std::string Bars(const std::vector<Bar>& bars, uint64_t total, const char* label) {
  uint64_t largest = 1;
  for (const Bar& bar : bars) largest = std::max(largest, bar.count);
  constexpr int kRow = 30;
  // Narrow, so that its text stays legible in a narrow window.
  std::string svg = std::string("<svg role=\"img\" aria-label=\"") + label + "\" viewBox=\"0 0 480 " +
                    std::to_string(kRow * static_cast<int>(bars.size()) + 10) +
                    "\" xmlns=\"http://www.w3.org/2000/svg\">";
  int y = 5;
  for (const Bar& bar : bars) {
    int width = bar.count == 0 ? 0 : std::max(2, static_cast<int>(230 * bar.count / largest));
    // A long name is cut to fit its column; the bar's title holds it whole.
    std::wstring name = bar.label.size() > 19 ? bar.label.substr(0, 18) + L"\u2026" : bar.label;
    std::string count = std::to_string(bar.count) + " (" + Share(bar.count, total) + ")";
    svg += "<g><title>" + Html(bar.title) + ": " + count + "</title>";
    svg += "<text x=\"0\" y=\"" + std::to_string(y + 19) + "\">" + Html(name) + "</text>";
    svg += "<rect class=\"bar " + std::string(bar.kind) + "\" data-count=\"" + std::to_string(bar.count) +
           "\" x=\"150\" y=\"" + std::to_string(y + 4) + "\" width=\"" + std::to_string(width) +
           "\" height=\"20\"/>";
    svg += "<text x=\"" + std::to_string(158 + width) + "\" y=\"" + std::to_string(y + 19) + "\">" + count +
           "</text></g>";
    y += kRow;
  }
  return svg + "</svg>\n";
}

std::string SomeNames(const std::vector<std::string>& names, uint64_t machines) {
  std::string some;
  for (size_t i = 0; i < names.size(); ++i) some += (i == 0 ? "" : ", ") + Html(names[i]);
  if (machines > names.size()) some += " and " + std::to_string(machines - names.size()) + " more";
  return some;
}
