#include <cstring>

#include "aeffect.h"

char* vst_strncpy(char* dst, const char* src, size_t maxLen) {
  std::strncpy(dst, src, maxLen);
  dst[maxLen] = 0;
  return dst;
}

// Appends only as much of src as still fits in maxLen characters: a plain strncat
// bounded by maxLen would write up to strlen(dst) + maxLen bytes before the
// terminator could cut it back.
char* vst_strncat(char* dst, const char* src, size_t maxLen) {
  size_t used = strnlen(dst, maxLen);
  size_t room = maxLen - used;
  size_t add = strnlen(src, room);
  std::memcpy(dst + used, src, add);
  dst[used + add] = 0;
  dst[maxLen] = 0;
  return dst;
}
