#include "framework/winapp.h"

#include <string>

namespace {
CWinApp* g_app = nullptr;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) { return init != nullptr ? TRUE : FALSE; }

void AfxEnableControlContainer() {}

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName != nullptr ? appName : "") { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::SetRegistryKey(const char* key) { m_pszRegistryKey = key; }

CWinApp* AfxGetApp() { return g_app; }

int AfxWinMain(const char* executablePath) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 1;
  if (app->m_pszAppName.IsEmpty()) {
    std::string name = executablePath != nullptr ? executablePath : "";
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const auto dot = name.rfind(".exe");
    if (dot != std::string::npos && dot + 4 == name.size()) name.erase(dot);
    app->m_pszAppName = CString(name);
  }
  app->InitInstance();
  return app->ExitInstance();
}
