// Text formatting that never writes past a host text buffer. The host gives
// a buffer of char_count + 1 bytes; whatever the format produces, at most
// char_count characters and the terminating zero land in it.
#pragma once

#include <stdint.h>

namespace gauge {

// Formats with wsprintfA (integers and strings) into a bounded buffer.
// Returns the number of characters written, without the zero.
int FormatBounded(char* buffer, uint32_t char_count, const char* format, ...);

// Formats one double with the C runtime's printf (wsprintfA has no %f).
int FormatDoubleBounded(char* buffer, uint32_t char_count, const char* format, double value);

// Copies at most char_count characters of source and a zero. `source_size`
// bounds the read, so a source with no zero of its own is safe.
int CopyBounded(char* buffer, uint32_t char_count, const char* source, uint32_t source_size);

}  // namespace gauge
