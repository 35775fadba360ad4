// A small application framework over raw Win32, in the shape of the
// platform's dialog frameworks.
//
//   CAppBase  the program's single application object. The framework owns the
//             entry point: it creates nothing visible, calls the start-up hook
//             once, and ends the program when the hook returns FALSE.
#pragma once

#include <windows.h>

class CAppBase {
 public:
  CAppBase();
  virtual ~CAppBase();
  CAppBase(const CAppBase&) = delete;
  CAppBase& operator=(const CAppBase&) = delete;

  // Overrideables

  // BOOL InitInstance(): the start-up hook. FALSE ends the program at once;
  // TRUE hands over to Run().
  virtual BOOL InitInstance() = 0;
  // int Run(): what follows a start-up that returned TRUE. Neither program
  // keeps a window after start-up, so the default ends with exit code 0.
  virtual int Run();

  // Implementation

  static CAppBase* Current();
  HINSTANCE Instance() const { return m_hInstance; }

 private:
  friend int AppMain(HINSTANCE instance);
  HINSTANCE m_hInstance = NULL;
};

// The body of the framework's WinMain: runs the application object.
int AppMain(HINSTANCE instance);
