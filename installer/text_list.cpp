#include "text_list.h"

#include <new>

#include "heap_memory.h"
#include "text.h"

TextList* TextList::Create() {
  void* memory = HeapMemoryAlloc(sizeof(TextList));
  return memory != NULL ? new (memory) TextList : NULL;
}

void TextList::Destroy(TextList* list) {
  if (list == NULL) return;
  list->~TextList();
  HeapMemoryFree(list);
}

BOOL TextList::Add(LPCSTR text) {
  if (m_count == m_capacity) {
    int capacity = m_capacity == 0 ? 8 : m_capacity * 2;
    void* grown = HeapMemoryResize(m_items, static_cast<size_t>(capacity) * sizeof(char*));
    if (grown == NULL) return FALSE;
    m_items = static_cast<char**>(grown);
    m_capacity = capacity;
  }
  size_t length = TextLength(text);
  char* copy = static_cast<char*>(HeapMemoryAlloc(length + 1));
  if (copy == NULL) return FALSE;
  MemoryCopy(copy, text, length + 1);
  m_items[m_count++] = copy;
  return TRUE;
}

LPCSTR TextList::At(int index) const {
  if (index < 0 || index >= m_count) return NULL;
  return m_items[index];
}

void TextList::RemoveAll() {
  for (int i = 0; i < m_count; ++i) HeapMemoryFree(m_items[i]);
  HeapMemoryFree(m_items);
  m_items = NULL;
  m_count = 0;
  m_capacity = 0;
}
