// Shared between the emulator's parts of the simulated platform (threads,
// libraries, devices, multimedia and the stand-ins); never seen by tests.
#pragma once

#include <windows.h>

namespace winsim::detail {

// CreateFileA and CloseHandle live with the devices. A path that is not a
// device name, and a handle that is not a device's, go to these hooks, which
// the file part of the machine may install; while unset, such a call is
// refused as unmodelled.
using CreateFileHook = HANDLE (*)(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile);
using CloseHandleHook = BOOL (*)(HANDLE handle);
void SetFileHandleHooks(CreateFileHook open, CloseHandleHook close);

}  // namespace winsim::detail
