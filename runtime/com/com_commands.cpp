#include "runtime/com/com_commands.h"

#include <cstring>

#include "runtime/com/com_value.h"
#include "runtime/heap.h"
#include "runtime/service_request.h"

namespace rt {

namespace {

void accessMember(DataCell* result, int32_t count, DataCell* args, InvokeMode mode, uint32_t resultType) {
    const DataCell& object = argAt(count, args, 0);
    const char* name = argAt(count, args, 1).asText();
    int32_t rest = count > 2 ? count - 2 : 0;
    invokeMember(objectBlockOf(object), name, rest ? args + 2 : nullptr, rest, mode, resultType, result);
}

// The object block of a variable; a variable that has none yet gets one.
ComObjectBlock* ensureObjectBlock(const DataCell& cell) {
    ComObjectBlock* block = objectBlockOf(cell);
    if (!block && cell.byReference() && cell.lo) {
        block = static_cast<ComObjectBlock*>(rtAlloc(sizeof(ComObjectBlock)));
        std::memset(block, 0, sizeof *block);
        *reinterpret_cast<ComObjectBlock**>(cell.lo) = block;
    }
    return block;
}

void releaseObjectValue(void* value) { clearComObject(static_cast<ComObjectBlock*>(value)); }

}  // namespace

void comGetText(DataCell* result, int32_t count, DataCell* args) {
    accessMember(result, count, args, kInvokeGet, kTypeText);
}

void comGetNumber(DataCell* result, int32_t count, DataCell* args) {
    accessMember(result, count, args, kInvokeGet, kTypeDouble);
}

void comGetVariant(DataCell* result, int32_t count, DataCell* args) {
    accessMember(result, count, args, kInvokeGet, kTypeVariant);
}

void comCall(DataCell* result, int32_t count, DataCell* args) {
    accessMember(result, count, args, kInvokeCall, 0);
}

void comSetProperty(DataCell* result, int32_t count, DataCell* args) {
    accessMember(nullptr, count, args, kInvokePut, 0);
    result->setBool(lastComResult() == kComOk);
}

void comAssign(DataCell* result, int32_t count, DataCell* args) {
    assignComObject(objectBlockOf(argAt(count, args, 0)), objectBlockOf(argAt(count, args, 1)));
}

void comClear(DataCell* result, int32_t count, DataCell* args) {
    clearComObject(objectBlockOf(argAt(count, args, 0)));
}

void comCreate(DataCell* result, int32_t count, DataCell* args) {
    ComObjectBlock* block = ensureObjectBlock(argAt(count, args, 0));
    const DataCell& library = argAt(count, args, 2);
    bool ok = createComObject(block, argAt(count, args, 1).asText(), library.absent() ? nullptr : library.asText());
    result->setBool(ok);
}

void variantClear(DataCell* result, int32_t count, DataCell* args) {
    clearVariantBlock(variantBlockOf(argAt(count, args, 0)));
}

void variantToBytes(DataCell* result, int32_t count, DataCell* args) {
    result->setByteSet(variantToByteSet(variantBlockOf(argAt(count, args, 0)), argAt(count, args, 1)));
}

void variantSet(DataCell* result, int32_t count, DataCell* args) {
    bool ok = variantSetValue(variantBlockOf(argAt(count, args, 0)), argAt(count, args, 1), argAt(count, args, 2));
    result->setBool(ok);
}

void installComServices() { serviceExtensions().releaseComObject = releaseObjectValue; }

namespace {
// Installed before any program code runs: the runtime asks for it by number.
const bool kInstalled = (installComServices(), true);
}  // namespace

}  // namespace rt
