// The platform's integer and text types, shared by every stand-in and by the component.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using INT = int;
using UINT = unsigned int;
using CHAR = char;
using FLOAT = float;
using DOUBLE = double;
using BOOL = int;
using HANDLE = void*;
using LPVOID = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
