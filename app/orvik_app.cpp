#include "app/orvik_app.h"

#include "dialog/orvik_dlg.h"

COrvikApp::COrvikApp() { m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART; }

BOOL COrvikApp::InitInstance() {
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);

  CWinApp::InitInstance();
  AfxEnableControlContainer();
  auto* shellManager = new CShellManager;
  // Names where the framework would keep settings; the program keeps none.
  SetRegistryKey("Локальные приложения, созданные с помощью мастера приложений");

  {
    COrvikDlg dlg(m_portAccess);
    m_pMainWnd = &dlg;
    for (zv::IWindowEvents* observer : m_eventObservers) dlg.AddEventObserver(observer);
    dlg.DoModal();
    m_pMainWnd = nullptr;
  }
  delete shellManager;
  // The window has closed: end the program rather than start a message loop.
  return FALSE;
}
