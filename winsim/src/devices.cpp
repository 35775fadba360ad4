// Devices by name, opened as "\\.\NAME", and DeviceIoControl. CreateFileA and
// CloseHandle start here and hand every other path and handle to the file
// part (opens.h).
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <windows.h>

#include "internal.h"
#include "opens.h"
#include "sim_devices.h"
#include "sim_machine.h"

namespace {

struct OpenDevice {
  std::shared_ptr<winsim::Device> device;
};

std::mutex sMutex;
std::map<std::string, std::shared_ptr<winsim::Device>, winsim::detail::LessNoCase> sDevices;
std::set<OpenDevice*> sHandles;
std::vector<winsim::DeviceOpenRecord> sOpens;

const char kDevicePrefix[] = "\\\\.\\";

}  // namespace

namespace winsim {

void RegisterDevice(const std::string& name, std::shared_ptr<Device> device) {
  std::lock_guard<std::mutex> lock(sMutex);
  sDevices[name] = std::move(device);
}

std::vector<DeviceOpenRecord> DeviceOpens() {
  std::lock_guard<std::mutex> lock(sMutex);
  return sOpens;
}

int OpenDeviceHandleCount() {
  std::lock_guard<std::mutex> lock(sMutex);
  return static_cast<int>(sHandles.size());
}

namespace detail {

void ResetDevices() {
  std::lock_guard<std::mutex> lock(sMutex);
  for (OpenDevice* open : sHandles) delete open;
  sHandles.clear();
  sDevices.clear();
  sOpens.clear();
}

}  // namespace detail
}  // namespace winsim

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile) {
  if (name == nullptr) winsim::Unmodelled("CreateFileA with no name");
  std::string path = name;
  if (path.compare(0, sizeof kDevicePrefix - 1, kDevicePrefix) != 0)
    return winsim::detail::OpenFileOnDrive(name, access, share, security, disposition, flags, templateFile);

  bool nt = winsim::detail::IsNt();
  std::lock_guard<std::mutex> lock(sMutex);
  winsim::DeviceOpenRecord record{path,        access, share, security != nullptr, disposition, flags,
                                  templateFile != nullptr, false, 0};
  auto it = sDevices.find(path.substr(sizeof kDevicePrefix - 1));
  if (nt && disposition == 0) {
    // NT checks the creation disposition before it looks for the device.
    record.error = ERROR_INVALID_PARAMETER;
  } else if (it == sDevices.end()) {
    record.error = ERROR_FILE_NOT_FOUND;
  } else {
    record.opened = true;
  }
  sOpens.push_back(record);
  if (!record.opened) {
    SetLastError(record.error);
    return INVALID_HANDLE_VALUE;
  }
  auto* open = new OpenDevice{it->second};
  sHandles.insert(open);
  return open;
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned, LPOVERLAPPED overlapped) {
  std::shared_ptr<winsim::Device> target;
  {
    std::lock_guard<std::mutex> lock(sMutex);
    auto it = sHandles.find(static_cast<OpenDevice*>(device));
    if (it != sHandles.end()) target = (*it)->device;
  }
  if (!target) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Outside the lock: the device may queue calls, start threads or open
  // other handles.
  return target->IoControl(code, in, inSize, out, outSize, returned, overlapped);
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  {
    std::lock_guard<std::mutex> lock(sMutex);
    auto it = sHandles.find(static_cast<OpenDevice*>(handle));
    if (it != sHandles.end()) {
      delete *it;
      sHandles.erase(it);
      return TRUE;
    }
  }
  if (winsim::detail::CloseSyncHandle(handle)) return TRUE;
  return winsim::detail::CloseFileOnDrive(handle);
}
