// Libraries as a test sees them: a file name with a table of exports.
#pragma once

#include "sim_tests_only.h"

#include <map>
#include <string>
#include <vector>
#include <windows.h>

namespace winsim {

using ExportTable = std::map<std::string, FARPROC>;

// LoadLibraryA of this file name (any case) returns the library; its exports
// are found by GetProcAddress under exactly these names.
void RegisterLibrary(const std::string& fileName, const ExportTable& exports);

// Gives any function the generic export type, as GetProcAddress hands it out;
// the caller converts it back to the function's own type.
template <typename Function>
FARPROC AsExport(Function* function) {
  // A cast through void (*)() is the documented way to convert between
  // function pointer types without a warning; the type is restored on use.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// Every LoadLibraryA and GetProcAddress argument since Reset, in order.
std::vector<std::string> LoadLibraryCalls();
std::vector<std::string> GetProcAddressCalls();

}  // namespace winsim
