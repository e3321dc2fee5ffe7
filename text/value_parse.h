// The parse family (toChar, toBool, toInt16..toUInt64, toFloat..toLongDouble) are members of UString;
// this header names the failure kinds they throw as Exception.
#pragma once

#include "text/exception.h"
#include "text/ustring.h"

namespace failure {
inline constexpr const char* kNumberFormat = "NumberFormat";
inline constexpr const char* kNumberValue = "NumberValue";
inline constexpr const char* kIllegalArgument = "IllegalArgument";
inline constexpr const char* kIndexOutOfBounds = "IndexOutOfBounds";
}  // namespace failure
