// What variants and safe arrays own, and how it is copied and released. Variants hold arrays and
// arrays hold variants, so the two recurse into each other here, in one place; the VARIANT and
// SAFEARRAY functions above this layer call it and not each other.
#pragma once

#include "value_types.h"

namespace oleaut::detail {

// The empty variant (VT_EMPTY, no value).
void emptyVariant(VARIANT& v);
// Deep copy of src into out, which holds nothing yet: texts duplicated, interfaces counted,
// arrays copied. A by-reference source is copied as the reference.
HRESULT copyVariant(const VARIANT& src, VARIANT& out);
// Releases what v owns and leaves it empty (VariantClear).
HRESULT clearVariant(VARIANT& v);

bool isArray(const SAFEARRAY* psa);
void* elementAt(SAFEARRAY* psa, ULONG position);
// A one-dimensional array of zeroed elements of type vt; null when vt is no element type or
// memory runs out.
SAFEARRAY* createArray(VARTYPE vt, const SAFEARRAYBOUND& bound);
HRESULT destroyArray(SAFEARRAY* psa);
HRESULT copyArray(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// Copies one element's value (in its stored form) into dest, which holds nothing.
HRESULT copyElement(VARTYPE vt, const void* src, void* dest);
// Releases what one element holds and zeroes it.
void releaseElement(VARTYPE vt, void* element);

}  // namespace oleaut::detail
