#include "ui/class_registry.h"

#include "runtime/libraries.h"
#include "runtime/runtime_app.h"
#include "ui/controls/controls.h"

namespace ui {

namespace {

const ClassDescription* coreClass(uint32_t index) {
    switch (index) {
        case 1: return &kWindowClass;
        case 3: return &kMenuItemClass;
        case 8: return &kDrawPanelClass;
        case 10: return &kLabelClass;
        case 0x20: return &kTimerClass;
        default: return nullptr;
    }
}

const ClassDescription* extendedUiClass(uint32_t index) { return index == 5 ? &kTransLabelClass : nullptr; }

ClassRoutine noRoutines(int32_t) { return nullptr; }

}  // namespace

// Menu items have no window and no class routines; their one event is bound
// in their record.
const ClassDescription kMenuItemClass = {"", kClassHasEvents | kClassNoWindow, 0, nullptr, &noRoutines};

const ClassDescription* findClass(uint32_t classId) {
    uint32_t library = classId >> 16, index = classId & 0xFFFF;
    if (library == 0) return nullptr;
    const auto& libraries = rt::RuntimeApp::instance().libraries();
    const rt::LibraryInfo* info = nullptr;
    if (libraries.empty()) {
        // Before start-up has listed the libraries (tests that drive the
        // window runtime directly): the program's usual order.
        info = library == 1 ? &rt::kCoreLibrary : library == 2 ? &rt::kExtendedUiLibrary : nullptr;
    } else if (library <= libraries.size()) {
        info = libraries[library - 1];
    }
    if (info == &rt::kCoreLibrary) return coreClass(index);
    if (info == &rt::kExtendedUiLibrary) return extendedUiClass(index);
    return nullptr;
}

}  // namespace ui
