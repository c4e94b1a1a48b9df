// GUIDs as registry text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "oleaut/wtypes.h"

namespace oleaut::detail {

std::string guidText(const GUID& guid);
// Parses the braced form; nothing when the text is not exactly that.
std::optional<GUID> parseGuid(std::u16string_view text);

}  // namespace oleaut::detail
