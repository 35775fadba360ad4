// Resource identifiers of the installer, in bands by kind.
#pragma once

// Dialogs: 100-
#define IDD_SOURCE_DIR 102

// Icons: 128-
#define IDR_MAINFRAME 128

// Controls: 1000-
#define IDC_SOURCE_PATH 1000
#define IDC_SOURCE_LIST 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
