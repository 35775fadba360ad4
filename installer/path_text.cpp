#include "path_text.h"

#include "text.h"

BOOL PathTextCopy(LPSTR dst, LPCSTR src) {
  size_t length = TextLength(src);
  if (length >= MAX_PATH) return FALSE;
  MemoryCopy(dst, src, length + 1);
  return TRUE;
}

BOOL PathTextAppend(LPSTR dst, LPCSTR tail) {
  size_t head = TextLength(dst);
  size_t length = TextLength(tail);
  if (head + length >= MAX_PATH) return FALSE;
  MemoryCopy(dst + head, tail, length + 1);
  return TRUE;
}

BOOL PathTextAppendPart(LPSTR dst, LPCSTR tail, size_t count) {
  size_t head = TextLength(dst);
  size_t length = 0;
  while (length < count && tail[length] != '\0') ++length;
  if (head + length >= MAX_PATH) return FALSE;
  MemoryCopy(dst + head, tail, length);
  dst[head + length] = '\0';
  return TRUE;
}

BOOL PathTextAddBackslash(LPSTR dst) {
  if (PathTextEndsWithBackslash(dst)) return TRUE;
  return PathTextAppend(dst, "\\");
}

BOOL PathTextEndsWithBackslash(LPCSTR text) {
  size_t length = TextLength(text);
  return length > 0 && text[length - 1] == '\\';
}
