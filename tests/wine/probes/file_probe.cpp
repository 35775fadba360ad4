// FileProbe.exe: asks the running Windows (in practice Wine) the questions
// the installer's deployment depends on, and writes the answers, one line
// each, to "C:\probe\out.txt". run_file_probe.py lays out C:\probe\, runs it
// and compares the answers with file_probe.expected:
//   src\RO.TXT (read-only), src\RW.TXT, dst\ (empty), My Dir\Setup.exe and
//   My.exe (both the Setup.exe stand-in).
#include <windows.h>

#include <stdio.h>

namespace {

FILE* sOut;

void Copy(const char* label, const char* from, const char* to) {
  SetLastError(0xdeadbeef);
  BOOL ok = CopyFileA(from, to, FALSE);
  DWORD error = ok ? 0 : GetLastError();
  fprintf(sOut, "%s: CopyFileA=%d error=%lu GetFileAttributesA=0x%lx\n", label, ok, static_cast<unsigned long>(error),
          static_cast<unsigned long>(GetFileAttributesA(to)));
}

void Create(const char* label, const char* path) {
  SetLastError(0xdeadbeef);
  BOOL ok = CreateDirectoryA(path, NULL);
  fprintf(sOut, "%s: CreateDirectoryA=%d error=%lu\n", label, ok, ok ? 0ul : static_cast<unsigned long>(GetLastError()));
}

void HideAsSystem(const char* label, const char* path) {
  BOOL ok = SetFileAttributesA(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  fprintf(sOut, "%s: SetFileAttributesA=%d GetFileAttributesA=0x%lx\n", label, ok,
          static_cast<unsigned long>(GetFileAttributesA(path)));
}

// The error is reported even on success: CREATE_ALWAYS over an existing file
// succeeds with ERROR_ALREADY_EXISTS.
void CreateAlways(const char* label, const char* path) {
  SetLastError(0xdeadbeef);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD error = GetLastError();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  fprintf(sOut, "%s: CreateFileA=%d error=%lu GetFileAttributesA=0x%lx\n", label, file != INVALID_HANDLE_VALUE,
          static_cast<unsigned long>(error), static_cast<unsigned long>(GetFileAttributesA(path)));
}

void Exec(const char* label, const char* commandLine) {
  UINT result = WinExec(commandLine, SW_SHOW);
  fprintf(sOut, "%s: WinExec=%u\n", label, result);
  Sleep(1000);  // let the stand-in write its line before the next start
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  sOut = fopen("C:\\probe\\out.txt", "w");
  if (sOut == NULL) return 1;
  const char* ro = "C:\\probe\\src\\RO.TXT";
  const char* rw = "C:\\probe\\src\\RW.TXT";
  const char* copy = "C:\\probe\\dst\\RO.TXT";
  fprintf(sOut, "read-only source: GetFileAttributesA=0x%lx\n", static_cast<unsigned long>(GetFileAttributesA(ro)));
  Copy("read-only source, new copy", ro, copy);
  Copy("read-only source over the read-only copy", ro, copy);
  Copy("writable source over the read-only copy", rw, copy);
  DWORD attributes = GetFileAttributesA(copy);
  BOOL cleared = SetFileAttributesA(copy, attributes & ~FILE_ATTRIBUTE_READONLY);
  fprintf(sOut, "read-only cleared: SetFileAttributesA=%d GetFileAttributesA=0x%lx\n", cleared,
          static_cast<unsigned long>(GetFileAttributesA(copy)));
  Copy("read-only source over the cleared copy", ro, copy);
  Create("existing folder", "C:\\probe\\dst\\");
  Create("missing parent", "C:\\probe\\none\\sub\\");
  Copy("into a missing folder", rw, "C:\\probe\\none\\RW.TXT");
  Exec("missing program", "C:\\probe\\none.exe");
  Exec("missing folder", "C:\\probe\\nodir\\none.exe");
  Exec("unquoted path with a blank", "C:\\probe\\My Dir\\Setup.exe");
  Exec("quoted path with a blank", "\"C:\\probe\\My Dir\\Setup.exe\"");
  // A hidden and system file overwritten, by a copy and by a plain creation.
  const char* hidden = "C:\\probe\\dst\\HS.TXT";
  CopyFileA(rw, hidden, FALSE);
  HideAsSystem("hidden and system destination", hidden);
  Copy("writable source over the hidden and system copy", rw, hidden);
  HideAsSystem("hidden and system again", hidden);
  CreateAlways("CREATE_ALWAYS and FILE_ATTRIBUTE_NORMAL over the hidden and system file", hidden);
  fclose(sOut);
  return 0;
}
