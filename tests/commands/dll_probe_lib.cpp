#include <windows.h>

// A library for the DLL binding tests: one stdcall and one cdecl export by
// name, one export by ordinal only (see dll_probe_lib.def).
extern "C" int __stdcall probeAdd2(int a, int b) { return a + b; }
extern "C" int __cdecl probeSum3(int a, int b, int c) { return a + b + c; }
extern "C" int __stdcall probeOrdinal12() { return 1212; }
// Keeps its caller inside this library for a while (a worker that an
// unloading shutdown would pull the code from under).
extern "C" int __stdcall probeSleep(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
    return milliseconds;
}
