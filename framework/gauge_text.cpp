#include "gauge_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <windows.h>

namespace gauge {

namespace {
// wsprintfA never writes more than 1024 bytes.
constexpr uint32_t kScratchSize = 1025;
}  // namespace

int CopyBounded(char* buffer, uint32_t char_count, const char* source, uint32_t source_size) {
  if (!buffer) return 0;
  uint32_t n = 0;
  if (source) {
    while (n < char_count && n < source_size && source[n] != '\0') {
      buffer[n] = source[n];
      ++n;
    }
  }
  buffer[n] = '\0';
  return static_cast<int>(n);
}

int FormatBounded(char* buffer, uint32_t char_count, const char* format, ...) {
  char scratch[kScratchSize];
  va_list args;
  va_start(args, format);
  int written = wvsprintfA(scratch, format, args);
  va_end(args);
  if (written < 0) written = 0;
  scratch[kScratchSize - 1] = '\0';
  return CopyBounded(buffer, char_count, scratch, kScratchSize);
}

int FormatDoubleBounded(char* buffer, uint32_t char_count, const char* format, double value) {
  char scratch[kScratchSize];
  int written = _snprintf(scratch, kScratchSize - 1, format, value);
  if (written < 0) written = 0;  // cut off: still zero-terminated below
  scratch[kScratchSize - 1] = '\0';
  return CopyBounded(buffer, char_count, scratch, kScratchSize);
}

}  // namespace gauge
