// The application object: start-up runs the main window modally and ends with it.
#pragma once

#include <vector>

#include "dialog/window_events.h"
#include "framework/winapp.h"
#include "link/port_types.h"

class COrvikApp : public CWinApp {
 public:
  COrvikApp();
  BOOL InitInstance() override;

  // How the main window reaches the logger; the entry point fills it before start-up.
  PortAccess m_portAccess;
  // The front ends that hear what the main window does (the live chart); the entry point
  // fills it before start-up, and each outlives the window.
  std::vector<zv::IWindowEvents*> m_eventObservers;
};

extern COrvikApp theApp;
