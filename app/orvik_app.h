// The application object: start-up runs the main window modally and ends with it.
#pragma once

#include "framework/winapp.h"
#include "link/port_types.h"

class COrvikApp : public CWinApp {
 public:
  COrvikApp();
  BOOL InitInstance() override;

  // How the main window reaches the logger; the entry point fills it before start-up.
  PortAccess m_portAccess;
};

extern COrvikApp theApp;
