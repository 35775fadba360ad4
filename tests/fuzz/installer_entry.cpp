// The libFuzzer entry points of the installer's targets: the installer's
// resources are the program's for the whole fuzzing process, and each input
// runs as a new process on a machine that is reset after it.
#include <fuzzer/FuzzedDataProvider.h>

#include "error_mode.h"
#include "fuzz_support.h"
#include "sim_dialogs.h"
#include "sim_machine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  winsim::LoadProgramResources(QT_INSTALLER_RES);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  gProcessErrorMode = ProcessErrorMode{0, FALSE};
  qfuzz::RunInstallerInput(in);
  winsim::Reset();
  return 0;
}
