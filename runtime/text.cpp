#include "text.h"

size_t TextLength(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

int TextCompare(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x != 0 && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int>(*x) - static_cast<int>(*y);
}

const char* TextFind(const char* text, const char* needle) {
  for (;; ++text) {
    size_t i = 0;
    while (needle[i] != '\0' && text[i] == needle[i]) ++i;
    if (needle[i] == '\0') return text;
    if (*text == '\0') return NULL;
  }
}

void MemoryCopy(void* dst, const void* src, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  for (size_t i = 0; i < count; ++i) d[i] = s[i];
}

void MemoryMove(void* dst, const void* src, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d == s || count == 0) return;
  if (d < s) {
    for (size_t i = 0; i < count; ++i) d[i] = s[i];
  } else {
    // Backwards, so a destination above the source never overwrites bytes
    // not yet copied.
    for (size_t i = count; i > 0; --i) d[i - 1] = s[i - 1];
  }
}

void MemoryFill(void* dst, unsigned char value, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  for (size_t i = 0; i < count; ++i) d[i] = value;
}

int MemoryCompare(const void* a, const void* b, size_t count) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < count; ++i) {
    if (x[i] != y[i]) return static_cast<int>(x[i]) - static_cast<int>(y[i]);
  }
  return 0;
}
