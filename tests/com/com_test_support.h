// Calling the COM commands the way compiled code does: cells in, cell out.
#pragma once

#include <string>
#include <vector>

#include "runtime/com/com_commands.h"
#include "runtime/com/com_value.h"
#include "runtime/heap.h"

namespace com_test {

// An object variable with its own block, cleared at the end.
struct ObjectVar {
    rt::ComObjectBlock block{nullptr, 0};
    rt::ComObjectBlock* value = &block;  // the variable holds the block's address
    ~ObjectVar() { rt::clearComObject(&block); }
    rt::DataCell cell() { return rt::DataCell::ofPointer(&block, rt::kTypeComObject); }
    rt::DataCell ref() { return rt::DataCell::refTo(&value, rt::kTypeComObject); }
};

struct VariantVar {
    VARIANT block;
    VARIANT* value = &block;
    VariantVar() { VariantInit(&block); }
    ~VariantVar() { VariantClear(&block); }
    rt::DataCell cell() { return rt::DataCell::ofPointer(&block, rt::kTypeVariant); }
};

inline rt::DataCell text(const char* t) { return rt::DataCell::ofText(t); }
inline rt::DataCell integer(int32_t v) { return rt::DataCell::ofInt(v); }
inline rt::DataCell absent() { return rt::DataCell{}; }

inline rt::DataCell run(rt::Command command, ObjectVar& object, const char* name, std::vector<rt::DataCell> args = {}) {
    args.insert(args.begin(), {object.cell(), text(name)});
    return rt::callCommand(command, static_cast<int32_t>(args.size()), args.data());
}

inline std::string getText(ObjectVar& object, const char* name, std::vector<rt::DataCell> args = {}) {
    char* t = static_cast<char*>(run(rt::comGetText, object, name, std::move(args)).asPointer());
    std::string out = t ? t : "";
    rt::rtFree(t);
    return out;
}

inline double getNumber(ObjectVar& object, const char* name, std::vector<rt::DataCell> args = {}) {
    return run(rt::comGetNumber, object, name, std::move(args)).asDouble();
}

inline bool create(ObjectVar& object, const char* progId) {
    rt::DataCell args[] = {object.cell(), text(progId)};
    return rt::callCommand(rt::comCreate, 2, args).asBool();
}

}  // namespace com_test
