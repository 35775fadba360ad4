#include "app.h"

namespace {
// The one application object of the program; set by its constructor.
CAppBase* sCurrentApp = nullptr;
}  // namespace

CAppBase::CAppBase() { sCurrentApp = this; }

CAppBase::~CAppBase() {
  if (sCurrentApp == this) sCurrentApp = nullptr;
}

int CAppBase::Run() { return 0; }

CAppBase* CAppBase::Current() { return sCurrentApp; }

int AppMain(HINSTANCE instance) {
  CAppBase* app = CAppBase::Current();
  if (app == nullptr) return 1;
  app->m_hInstance = instance;
  if (!app->InitInstance()) return 0;
  return app->Run();
}
