#include "text_list.h"

#include <new>
#include <stdlib.h>
#include <string.h>

TextList* TextList::Create() {
  void* memory = malloc(sizeof(TextList));
  return memory != NULL ? new (memory) TextList : NULL;
}

void TextList::Destroy(TextList* list) {
  if (list == NULL) return;
  list->~TextList();
  free(list);
}

BOOL TextList::Add(LPCSTR text) {
  if (m_count == m_capacity) {
    int capacity = m_capacity == 0 ? 8 : m_capacity * 2;
    void* grown = realloc(m_items, static_cast<size_t>(capacity) * sizeof(char*));
    if (grown == NULL) return FALSE;
    m_items = static_cast<char**>(grown);
    m_capacity = capacity;
  }
  size_t length = strlen(text);
  char* copy = static_cast<char*>(malloc(length + 1));
  if (copy == NULL) return FALSE;
  memcpy(copy, text, length + 1);
  m_items[m_count++] = copy;
  return TRUE;
}

LPCSTR TextList::At(int index) const {
  if (index < 0 || index >= m_count) return NULL;
  return m_items[index];
}

void TextList::RemoveAll() {
  for (int i = 0; i < m_count; ++i) free(m_items[i]);
  free(m_items);
  m_items = NULL;
  m_count = 0;
  m_capacity = 0;
}
