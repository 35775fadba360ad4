#include "text_list.h"

#include <new>

BOOL TextList::Add(LPCSTR text) {
  // Called from the dialog procedure too, where no exception may escape.
  try {
    m_items.push_back(text);
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
  return TRUE;
}

LPCSTR TextList::At(int index) const {
  if (index < 0 || index >= Count()) return NULL;
  return m_items[static_cast<size_t>(index)].c_str();
}
