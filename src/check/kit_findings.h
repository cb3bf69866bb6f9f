// The kit's mistakes that the installer passes over in silence, each where it
// stands and with what the installer does because of it. Findings never
// change the decision; the decision is the installer's own.
#pragma once

#include <string>
#include <vector>

struct KitFinding {
  bool error;  // an error, or a warning
  const char* code;
  std::wstring file;  // relative to the kit
  int line;           // counted from 1; 0 where there is no line
  std::string message;
};

// The findings of the kit in use (the program's folder or UseKitFolder's),
// in file order.
std::vector<KitFinding> FindKitMistakes();

// Whether any of `findings` is an error.
bool HoldsErrors(const std::vector<KitFinding>& findings);
