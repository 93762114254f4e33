// An automation object of the tests' own, with by-reference and output
// parameters (the system's objects have almost none): its type information
// is built at run time, its IDispatch is the system's standard one.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

namespace com_test {

// Members (all return S_OK):
//   Swap([in, out] BSTR* text, [in, out] long* number): text += "!", number *= 2
//   Fill([out] VARIANT* value): value := "filled"
//   Replace([in, out] IUnknown** object): object := this object
//   Twice([in] long value, [in, out] VARIANT* result): result := value * 2 (a number)
// Returns the object's IUnknown with one reference for the caller, or null.
IUnknown* createTestObject();

// A dispatch interface whose Invoke writes down each call and answers S_OK:
//   Peek([in] long* seen, [in, out] long* changed)
//   Mark([in, out] VARIANT* value, [in] long count)
//   Take([in] IDispatch* dispatch, [in] IRecorder* recorder, [in] IUnknown* unknown)
//   properties Target (IDispatch), Source (IUnknown), Items (array of VARIANT), Count (long)
// Every long passed by reference is set to kRecorderWrites, whatever its
// parameter's direction. Returns the object's IUnknown (it lives for the
// process), or null.
IUnknown* createRecorder();

constexpr LONG kRecorderWrites = 99;

struct RecordedCall {
    DISPID member = DISPID_UNKNOWN;
    WORD flags = 0;
    std::vector<VARTYPE> args;  // in the caller's order
};
// The recorder's last call.
const RecordedCall& lastRecordedCall();

}  // namespace com_test
