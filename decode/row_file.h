// Naming of the recording and dump files, and the texts of their failures.
#pragma once

#include "framework/cstring.h"

struct Bilingual;

// The file a chosen path names: every ".txt" taken out of the file's own name (case-sensitive;
// the folders stay as chosen), then " ( ", the device name and " ).txt".
CString RowFileName(const CString& chosen, const CString& deviceName);
