// Task memory: blocks handed to a caller who frees them with CoTaskMemFree.
#include <cstdlib>

#include "oleaut/objbase.h"

void* CoTaskMemAlloc(std::size_t cb) { return std::malloc(cb ? cb : 1); }

void CoTaskMemFree(void* pv) { std::free(pv); }
