// A module built the way a gauge must not be: the C runtime's start-up files
// (which bring a TLS directory), a thread-local variable, a call into a
// library function no gauge may use, and an exported function. The PE check
// must reject it and say why.
#include <windows.h>

static thread_local int calls_on_this_thread = 0;

extern "C" {
__declspec(dllexport) int Linkage[4] = {0, 0, 0, 0};
}

extern "C" __declspec(dllexport) int __stdcall ExtraFunction(const char* path) {
  ++calls_on_this_thread;
  HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return calls_on_this_thread;
}
