// COM object and variant values of the runtime, and member access by name.
//
// A COM object value is the address of an 8-byte block: the interface (one
// reference held, or null for the empty object) and a word left 0. A
// variant value is the address of a 16-byte block holding one VARIANT.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "runtime/data_cell.h"

namespace rt {

struct ComObjectBlock {
    IUnknown* unknown;
    uint32_t reserved;
};
static_assert(sizeof(ComObjectBlock) == 8, "object block is two words");
static_assert(sizeof(VARIANT) == 16, "variant block is 16 bytes");

// Result codes of a member access; the thread's last one is kept.
enum ComResult : int32_t {
    kComOk = 0,
    kComEmptyObject = -1,
    kComNoDispatch = -2,
    kComNotBound = -3,
    kComNoTypeInfo = -4,
    kComTooManyArguments = -5,
    kComBadArgument = -7,
    kComBadResult = -8,
    kComBadParamCount = -9,
    kComBadVarType = -10,
    kComException = -11,
    kComMemberNotFound = -12,
    kComNoNamedArgs = -13,
    kComOverflow = -14,
    kComParamNotFound = -15,
    kComTypeMismatch = -16,
    kComParamNotOptional = -17,
    kComInvokeFailed = -18,
};
int32_t lastComResult();
void setLastComResult(int32_t code);

enum InvokeMode : int32_t {
    kInvokeGet = 1,    // read a property or call with a result
    kInvokePut = 2,    // write a property (the last argument is the value)
    kInvokeCall = 3,   // call without a result
};

// Object block from an object cell (its value is the block address); null
// when the cell holds none.
ComObjectBlock* objectBlockOf(const DataCell& cell);
VARIANT* variantBlockOf(const DataCell& cell);

// Binds `name` through the object's type information and invokes it with
// `args` (count cells). The result cell receives a value of `resultType`
// (0: none), or that type's empty value on failure. Returns the result code
// and stores it as the thread's last COM result.
int32_t invokeMember(ComObjectBlock* object, const char* name, const DataCell* args, int32_t count,
                     InvokeMode mode, uint32_t resultType, DataCell* result);

// Creates from a ProgID or "{CLSID}" (or a type name of `typeLibraryFile`)
// and stores the new interface in `object`, releasing its previous one.
bool createComObject(ComObjectBlock* object, const char* progIdOrClsid, const char* typeLibraryFile);
// `target` receives source's interface with one added reference.
void assignComObject(ComObjectBlock* target, const ComObjectBlock* source);
void clearComObject(ComObjectBlock* object);

// Variant helpers of the variant commands.
uint8_t* variantToByteSet(const VARIANT* variant, const DataCell& index);
bool variantSetValue(VARIANT* variant, const DataCell& value, const DataCell& index);
void clearVariantBlock(VARIANT* variant);

// Installs the release hook of service request 2035.
void installComServices();

}  // namespace rt
