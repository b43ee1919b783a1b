#include "app/orvik_app.h"

// The one application object, built before the entry point runs.
COrvikApp theApp;
