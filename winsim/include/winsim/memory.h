// The program's own image in memory: its page size, its regions and their
// protection, and the word exchange the installer writes each page with.
#pragma once

#include <stddef.h>

#include "types.h"

typedef size_t SIZE_T;
typedef void* PVOID;
typedef DWORD* PDWORD;

typedef struct _SYSTEM_INFO {
  WORD wProcessorArchitecture;
  WORD wReserved;
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress;
  LPVOID lpMaximumApplicationAddress;
  DWORD_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors;
  DWORD dwProcessorType;
  DWORD dwAllocationGranularity;
  WORD wProcessorLevel;
  WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

typedef struct _MEMORY_BASIC_INFORMATION {
  PVOID BaseAddress;
  PVOID AllocationBase;
  DWORD AllocationProtect;
  SIZE_T RegionSize;
  DWORD State;
  DWORD Protect;
  DWORD Type;
} MEMORY_BASIC_INFORMATION, *PMEMORY_BASIC_INFORMATION;

#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_WRITECOPY 0x08
#define PAGE_EXECUTE 0x10
#define PAGE_EXECUTE_READ 0x20
#define PAGE_EXECUTE_READWRITE 0x40
#define PAGE_EXECUTE_WRITECOPY 0x80
#define PAGE_GUARD 0x100

#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000
#define MEM_FREE 0x10000
#define MEM_IMAGE 0x1000000

// 4096-byte pages, one processor.
void WINAPI GetSystemInfo(LPSYSTEM_INFO info);
// NULL only: the base of the program's image.
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
// The run of pages from `address` that share state and protection, within
// the program's image; the page after the image is free.
SIZE_T WINAPI VirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T length);
// Sets the protection of every page of the range, all within the image.
BOOL WINAPI VirtualProtect(LPVOID address, SIZE_T size, DWORD newProtect, PDWORD oldProtect);
LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value);
