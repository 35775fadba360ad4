#include "path_text.h"

#include "text.h"

namespace {

// Where the character after the one that begins at `at` begins. A lead byte
// right before the terminator is a character of its own (a cut one).
size_t NextChar(LPCSTR text, size_t at) {
  if (IsDBCSLeadByte(static_cast<BYTE>(text[at])) && text[at + 1] != '\0') return at + 2;
  return at + 1;
}

// Where the last character of a text of `length` bytes begins (0 for the
// empty text), found by walking from the start.
size_t LastCharAt(LPCSTR text, size_t length) {
  size_t last = 0;
  for (size_t at = 0; at < length; at = NextChar(text, at)) last = at;
  return last;
}

// TRUE when the text ends with a lead byte whose trail byte is missing.
BOOL EndsInsideChar(LPCSTR text, size_t length) {
  if (length == 0) return FALSE;
  size_t last = LastCharAt(text, length);
  return last == length - 1 && IsDBCSLeadByte(static_cast<BYTE>(text[last]));
}

}  // namespace

BOOL PathTextCopy(LPSTR dst, LPCSTR src) {
  size_t length = TextLength(src);
  if (length >= MAX_PATH) return FALSE;
  MemoryCopy(dst, src, length + 1);
  return TRUE;
}

BOOL PathTextAppend(LPSTR dst, LPCSTR tail) {
  return PathTextAppendPart(dst, tail, TextLength(tail));
}

BOOL PathTextAppendPart(LPSTR dst, LPCSTR tail, size_t count) {
  size_t head = TextLength(dst);
  size_t length = 0;
  while (length < count && tail[length] != '\0') length = NextChar(tail, length);
  // The last character taken would reach past `count`: a cut inside it.
  if (length > count) return FALSE;
  if (head + length >= MAX_PATH || EndsInsideChar(dst, head)) return FALSE;
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
  // A backslash byte that begins a character is a backslash; as a trail
  // byte it is half of another character.
  return length > 0 && text[length - 1] == '\\' && LastCharAt(text, length) == length - 1;
}

BOOL PathTextCutToParent(LPSTR folder) {
  size_t length = TextLength(folder);
  size_t last = LastCharAt(folder, length);
  size_t cut = 0;
  // The search looks no further back than the second character.
  for (size_t at = length > 0 ? NextChar(folder, 0) : 0; at < last; at = NextChar(folder, at)) {
    if (folder[at] == '\\') cut = at + 1;
  }
  if (cut == 0) return FALSE;
  folder[cut] = '\0';
  return TRUE;
}
