// Fault injection by call name and count. Every modelled function that can
// fail asks, at its start, whether this call is one to fail; if so it fails
// at once with the given error, as the real function fails, before doing
// anything else. Calls are counted per function name from Reset, from 1.
//
//   winsim::InjectFault("CreateFileA", 3, ERROR_ACCESS_DENIED);  // the 3rd call fails
//   winsim::InjectFault("FindFirstFileA", 1, ERROR_NOT_READY, 0);  // every call fails
//
// The names that can be given are the fault points of one table
// (winsim/src/faults.cpp); any other name, given to InjectFault, BeforeCall
// or CallCount, ends the test at once with the name, so that a misspelt
// fault cannot pass unnoticed by never firing.
//
// Functions that take part: CreateFileA (file paths), FindFirstFileA,
// FindNextFileA, GetLogicalDriveStringsA, GetDriveTypeA (fails as
// DRIVE_UNKNOWN), GetPrivateProfileStringA (fails as if the file were
// missing), DialogBoxParamA (fails with -1), CreateDirectoryA, CopyFileA (the
// destination is not touched), GetFileAttributesA, SetFileAttributesA, and
// WinExec (the error is its result, 0 to 31). "CopyFileA.write" counts the
// copies that get as far as writing: a due one writes half the source's
// bytes, then fails with the error, and the partial copy is removed, as
// Windows removes it (an overwritten file is then gone).
//
// A change can also be made at a chosen moment, just before the nth call of
// a function, so that a test reaches a state between two calls of the
// program: the disc taken out during the copies, the setup program gone
// between its proof and its start.
//
//   winsim::BeforeCall("CopyFileA", 2, [] { winsim::EjectMedium('D'); });
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <functional>
#include <string>

namespace winsim {

// Calls number `nth`, nth+1, ... nth+times-1 of `function` fail with `error`;
// times 0 means every call from the nth on.
void InjectFault(const std::string& function, int nth, uint32_t error, int times = 1);
// Runs `change` once, just before call number `nth` of `function` does
// anything (before its fault check), counted as for InjectFault.
void BeforeCall(const std::string& function, int nth, std::function<void()> change);
// How many times the function has been called since Reset.
int CallCount(const std::string& function);

}  // namespace winsim
