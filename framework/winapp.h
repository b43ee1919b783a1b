// The application object and the framework's start-up pieces. Several start-up steps of the
// platform the program was designed for have no meaning here; they are kept as named calls
// that do nothing, so that the start-up reads the same everywhere.
#pragma once

#include "framework/afx.h"
#include "framework/cstring.h"
#include "framework/wnd.h"

constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x1;
constexpr DWORD ICC_WIN95_CLASSES = 0xFF;

struct INITCOMMONCONTROLSEX {
  DWORD dwSize = 0;
  DWORD dwICC = 0;
};

// Registers common control classes: every control class is always available here.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
// Enables hosting of embedded components: none are hosted here.
void AfxEnableControlContainer();

// The shell manager of the platform's file and folder controls: nothing to manage here.
class CShellManager {};

class CWinApp {
 public:
  // Becomes the application; with no name, the executable's name is used (see AfxWinMain).
  explicit CWinApp(const char* appName = nullptr);
  virtual ~CWinApp();

  // Start-up. The base does the framework's own start-up (nothing is needed here) and
  // returns TRUE; a derived application returns FALSE to end without a message loop.
  virtual BOOL InitInstance();
  virtual int ExitInstance();

  // Names where settings would be stored. Nothing is stored: the call only records the name.
  void SetRegistryKey(const char* key);
  HICON LoadIcon(int resourceId) const { return resourceId; }

  CWnd* m_pMainWnd = nullptr;
  DWORD m_dwRestartManagerSupportFlags = 0;
  CString m_pszAppName;
  CString m_pszRegistryKey;
};

CWinApp* AfxGetApp();

// The framework's entry point: names the application after the executable when it has no
// name, runs InitInstance, then ExitInstance. Returns the exit code.
int AfxWinMain(const char* executablePath);
