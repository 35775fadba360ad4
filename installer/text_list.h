// An ordered list of short texts that owns its copies: the drive list and
// the dialog's line tags.
//
// Built on the process heap (heap_memory.h): nothing here can throw, and a
// failed allocation is an answer, not an exception.
#pragma once

#include <windows.h>

class TextList {
 public:
  TextList() {}
  ~TextList() { RemoveAll(); }
  TextList(const TextList&) = delete;
  TextList& operator=(const TextList&) = delete;

  // A list on the heap, or NULL when there is no memory; freed by Destroy.
  static TextList* Create();
  static void Destroy(TextList* list);

  // Appends a copy; FALSE when there was no memory for it (nothing changes).
  BOOL Add(LPCSTR text);
  int Count() const { return m_count; }
  // The text at `index`, or NULL outside the list.
  LPCSTR At(int index) const;
  void RemoveAll();

 private:
  char** m_items = NULL;
  int m_count = 0;
  int m_capacity = 0;
};
