// The simulated registry behaves as Windows does where the programs rely on it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "sim_machine.h"
#include "sim_registry.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { winsim::Reset(); }
};

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndTrailingBackslashIsAccepted) {
  winsim::RegSetString("HKLM\\Software\\Q-Tonal\\Uninstall", "Path", "C:\\x");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\Q-TONAL\\uninstall\\", 0, KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  char data[16];
  DWORD size = sizeof data;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(data, "C:\\x");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(winsim::RegOpenHandleCount(), 0);
}

TEST_F(RegistryTest, EmptyNamesInsideAPathAreRefused) {
  winsim::RegCreateKeyPath("HKLM\\A\\B");
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\\\B", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\A", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\B\\C", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  // An empty name after a missing key still makes the path invalid.
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\Missing\\\\B", 0, KEY_READ, &key), 161);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Missing\\", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EachOpenIsRecordedWithTheFullPathAsRequested) {
  winsim::RegCreateKeyPath("HKLM\\A\\B");
  HKEY a, b, root, none;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "a\\", 0, KEY_READ, &a), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(a, "b", 0, KEY_QUERY_VALUE, &b), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\x\\\\y", 0, KEY_READ, &none), 161);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &root), ERROR_SUCCESS);
  const auto& opens = winsim::RegOpens();
  ASSERT_EQ(opens.size(), 4u);
  EXPECT_EQ(opens[0].path, "HKLM\\a");
  EXPECT_EQ(opens[1].path, "HKLM\\A\\b");  // below the key's own name
  EXPECT_EQ(opens[1].sam, static_cast<uint32_t>(KEY_QUERY_VALUE));
  EXPECT_EQ(opens[2].path, "HKLM\\A\\x");   // up to the empty name
  EXPECT_EQ(opens[2].result, 161);
  EXPECT_EQ(opens[3].path, "HKLM");
  RegCloseKey(root);
  RegCloseKey(b);
  RegCloseKey(a);
  EXPECT_EQ(winsim::RegOpenHandleCount(), 0);
}

TEST_F(RegistryTest, ValueBufferLargeExactAndOneShort) {
  winsim::RegSetString("HKLM\\K", "V", "abc");  // 4 bytes with terminator
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  for (DWORD given : {16u, 4u, 3u}) {
    char data[16];
    std::memset(data, 0xcc, sizeof data);
    DWORD size = given;
    LONG rc = RegQueryValueExA(key, "V", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
    EXPECT_EQ(size, 4u) << given;
    if (given >= 4) {
      EXPECT_EQ(rc, ERROR_SUCCESS);
      EXPECT_STREQ(data, "abc");
    } else {
      EXPECT_EQ(rc, ERROR_MORE_DATA);
      EXPECT_EQ(static_cast<unsigned char>(data[0]), 0xccu) << "a failed read wrote into the buffer";
    }
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, EmptyStringReadsWithSizeOne) {
  winsim::RegSetString("HKLM\\K", "V", "");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  char data[4] = "zz";
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(data[0], '\0');
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationIsAlphabeticalAndReportsShortBuffers) {
  winsim::RegCreateKeyPath("HKLM\\E\\beta");
  winsim::RegCreateKeyPath("HKLM\\E\\Alpha");
  winsim::RegCreateKeyPath("HKLM\\E\\gamma-long-name");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "E", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  char name[8];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Alpha");
  EXPECT_EQ(size, 5u);
  size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "beta");
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(key, 3, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(RegistryTest, VersionQueryWantsTheRecordSize) {
  winsim::SetVersion(winsim::kNT40);
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = 100;
  EXPECT_FALSE(GetVersionExA(&info));
  info.dwOSVersionInfoSize = 148;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, 2u);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
}

TEST_F(RegistryTest, ScheduledChangesRunInTimeOrderDuringSleep) {
  std::string order;
  winsim::ScheduleAt(7000, [&] { order += "b"; });
  winsim::ScheduleAt(3000, [&] { order += "a"; });
  winsim::ScheduleAt(11000, [&] { order += "c"; });
  Sleep(5000);
  EXPECT_EQ(order, "a");
  Sleep(5000);
  EXPECT_EQ(order, "ab");
  EXPECT_EQ(winsim::Now(), 10000u);
}

}  // namespace
