// Installs the window and control runtime into the runtime core. A program
// calls this before runtime start-up (auxiliary service 6), so that the
// window template is read into this runtime's registry.
#pragma once

namespace ui {

void installWindowRuntime();

}  // namespace ui
