// Numeric helpers every gauge needs. Simulator values arrive as doubles that
// may be NaN, infinite or huge; converting those with a plain cast is
// undefined, so every FLOAT64-to-integer conversion goes through here.
#pragma once

#include <stdint.h>

namespace gauge {

// Truncation toward zero, defined for every input: NaN gives 0, values beyond
// the 32-bit range saturate at its ends.
inline int32_t TruncateToInt32(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// True when a simulator variable "reads 1": its truncated value equals 1.
inline bool ReadsOne(double value) { return TruncateToInt32(value) == 1; }
inline bool ReadsZero(double value) { return TruncateToInt32(value) == 0; }

// Bit-exact comparison with 1.0 (a value one unit in the last place away fails).
inline bool IsExactlyOne(double value) { return value == 1.0; }

inline bool IsNumber(double value) { return value == value; }

}  // namespace gauge
