// An automation object of the tests' own, with by-reference and output
// parameters (the system's objects have almost none): its type information
// is built at run time, its IDispatch is the system's standard one.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace com_test {

// Members (all return S_OK):
//   Swap([in, out] BSTR* text, [in, out] long* number): text += "!", number *= 2
//   Fill([out] VARIANT* value): value := "filled"
//   Replace([in, out] IUnknown** object): object := this object
//   Twice([in] long value, [in, out] VARIANT* result): result := value * 2 (a number)
// Returns the object's IUnknown with one reference for the caller, or null.
IUnknown* createTestObject();

}  // namespace com_test
