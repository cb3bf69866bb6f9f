// A test-only debugger: runs a program as its debuggee and prints each text
// the debuggee sends to the debug channel as a line "debug: TEXT" on
// standard output, as it arrives. Exits with the debuggee's exit status, or
// 2 when it cannot start it.
// Usage: DebugMessages PROGRAM [ARGS...]
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line after this program's own name.
std::wstring DebuggeeCommandLine() {
  const wchar_t* line = GetCommandLineW();
  if (*line == L'"') {
    for (++line; *line != L'\0' && *line != L'"'; ++line) {
    }
    if (*line == L'"') ++line;
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

void PrintDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  std::string text;
  if (info.fUnicode) {
    std::wstring wide(info.nDebugStringLength, L'\0');
    ReadProcessMemory(process, info.lpDebugStringData, wide.data(), wide.size() * sizeof(wchar_t),
                      nullptr);
    for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
  } else {
    text.resize(info.nDebugStringLength);
    ReadProcessMemory(process, info.lpDebugStringData, text.data(), text.size(), nullptr);
  }
  std::printf("debug: %s\n", text.c_str());
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t**) {
  if (argc < 2) {
    std::fputs("usage: DebugMessages PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  std::wstring commandLine = DebuggeeCommandLine();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION debuggee = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, nullptr, &startup, &debuggee)) {
    std::fprintf(stderr, "DebugMessages: cannot start the program (error %lu)\n", GetLastError());
    return 2;
  }
  DWORD exitStatus = 0;
  for (bool running = true; running;) {
    DEBUG_EVENT event;
    if (!WaitForDebugEvent(&event, INFINITE)) break;
    DWORD continueStatus = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT:
        PrintDebugString(debuggee.hProcess, event.u.DebugString);
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's breakpoint is the debugger's; every other exception
        // is the debuggee's own.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        exitStatus = event.u.ExitProcess.dwExitCode;
        running = false;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
  }
  CloseHandle(debuggee.hThread);
  CloseHandle(debuggee.hProcess);
  return static_cast<int>(exitStatus);
}
