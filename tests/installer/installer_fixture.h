// Common ground of the installer's tests: a machine at power-on before each
// test, and the program run through its real entry point.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "sim/machine.h"
#include "sim/registry.h"
#include "sim/user.h"

namespace qtest {

constexpr const char* kGamePortRoot = "HKLM\\Enum\\VIRTUAL\\*PNPB02F";
constexpr const char* kCard = "PCI_VEN_4E51&DEV_0001";

inline std::string GamePortKey(const std::string& instance) { return std::string(kGamePortRoot) + "\\" + instance; }

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { winsim::Reset(); }
  void TearDown() override {
    EXPECT_EQ(winsim::RegOpenHandleCount(), 0) << "a registry key was left open";
  }

  // Runs InstallQTonal from its entry point; returns its exit code.
  static int RunInstaller() { return WinMain(nullptr, nullptr, const_cast<char*>(""), 1); }

  // Makes the card's device present, with a description from the start.
  static void DevicePresent() { winsim::RegSetString(GamePortKey(kCard), "DeviceDesc", "Game port"); }
};

}  // namespace qtest
