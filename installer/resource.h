// Resource identifiers of the installer, in bands by kind.
#pragma once

// Icons: 128-
#define IDR_MAINFRAME 128
