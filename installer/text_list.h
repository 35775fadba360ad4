// An ordered list of short texts that owns its copies: the drive list and
// the dialog's line tags.
//
// Built on the C heap alone: nothing here can throw, so the installer links
// none of the compiler's exception machinery (whose runtime calls the wide
// forms of the system interfaces that Windows 95 only has as stubs).
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
