// The application object: start-up runs the main window modally and ends with it.
#pragma once

#include "framework/winapp.h"

class COrvikApp : public CWinApp {
 public:
  COrvikApp();
  BOOL InitInstance() override;
};

extern COrvikApp theApp;
