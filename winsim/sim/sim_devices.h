// Devices as a test sees them: an object registered under a device name
// answers the DeviceIoControl requests sent to it.
#pragma once

#include "sim_tests_only.h"

#include <memory>
#include <string>
#include <vector>
#include <windows.h>

namespace winsim {

class Device {
 public:
  virtual ~Device() = default;
  // Runs on the thread that called DeviceIoControl, with its own pointers.
  virtual BOOL IoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                         LPOVERLAPPED overlapped) = 0;
};

// "\\.\NAME" (NAME in any case) opens this device from now until Reset.
void RegisterDevice(const std::string& name, std::shared_ptr<Device> device);

struct DeviceOpenRecord {
  std::string path;
  DWORD access;
  DWORD share;
  bool security;  // a security-attributes record was passed
  DWORD disposition;
  DWORD flags;
  bool templateFile;
  bool opened;
  DWORD error;  // GetLastError when not opened
};
std::vector<DeviceOpenRecord> DeviceOpens();
// Device handles opened and not closed.
int OpenDeviceHandleCount();

}  // namespace winsim
