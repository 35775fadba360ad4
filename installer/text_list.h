// An ordered list of short texts that owns its copies: the drive list and
// the dialog's line tags.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TextList {
 public:
  // Appends a copy; FALSE when there was no memory for it.
  BOOL Add(LPCSTR text);
  int Count() const { return static_cast<int>(m_items.size()); }
  // The text at `index`, or NULL outside the list.
  LPCSTR At(int index) const;
  void RemoveAll() { m_items.clear(); }

 private:
  std::vector<std::string> m_items;
};
