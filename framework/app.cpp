#include "app.h"

namespace {
// The one application object of the program; set by its constructor.
CAppBase* sCurrentApp = NULL;
}  // namespace

CAppBase::CAppBase() { sCurrentApp = this; }

CAppBase::~CAppBase() {
  if (sCurrentApp == this) sCurrentApp = NULL;
}

int CAppBase::Run() { return 0; }

CAppBase* CAppBase::Current() { return sCurrentApp; }

int AppMain(HINSTANCE instance) {
  CAppBase* app = CAppBase::Current();
  if (app == NULL) return 1;
  app->m_hInstance = instance;
  if (!app->InitInstance()) return 0;
  return app->Run();
}
