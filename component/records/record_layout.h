// What a record's length word allows: the words that follow the record number, within the
// 504-byte record buffer.
#pragma once

#include <cstddef>
#include <optional>

#include "transport/payloads.h"

namespace direzo {

// The number of data words of a record with this length word; nothing when the length word is 0
// (not even the record number) or claims more words than the buffer carries.
inline std::optional<std::size_t> dataWordCount(WORD length) {
    if (length < 1 || length > RecordBuffer::kMaxDataWords + 1) return std::nullopt;
    return std::size_t(length) - 1;
}

}  // namespace direzo
