// Process entry of a program built on the runtime: the static runtime object
// exists before WinMain, which hands over to the application skeleton.
#include <windows.h>

#include "runtime/runtime_app.h"

namespace {
rt::RuntimeApp gRuntimeApp;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return gRuntimeApp.runProcess(instance);
}
