// Device I/O: "\\.\NAME" opens a device that a test registered by name (see
// sim/sim_devices.h), and DeviceIoControl hands the request to it.
#pragma once

#include "types.h"

#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#endif
#ifndef FILE_SHARE_READ
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#endif
#ifndef CREATE_NEW
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#endif
#ifndef FILE_FLAG_OVERLAPPED
#define FILE_FLAG_OVERLAPPED 0x40000000u
#endif

// A device name ("\\.\NAME") opens the registered device. On a Windows NT
// version a creation disposition of 0 is refused with ERROR_INVALID_PARAMETER,
// as NT refuses it; Windows 95 and 98 accept it for a virtual device driver.
// Any other path is handed to the file part of the machine where one is
// modelled, and is otherwise refused as unmodelled.
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile);

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned, LPOVERLAPPED overlapped);

BOOL WINAPI CloseHandle(HANDLE handle);
