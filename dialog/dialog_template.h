// The main window's layout, dialog template 102.
#pragma once

#include "framework/dlgtemplate.h"

const zfw::DialogTemplate& MainDialogTemplate();
