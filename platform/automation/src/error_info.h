// The thread's current error object, read without handing it over.
#pragma once

#include "oleaut/comptr.h"
#include "oleaut/oaidl.h"

namespace oleaut::detail {

ComPtr<IErrorInfo> peekErrorInfo();

}  // namespace oleaut::detail
