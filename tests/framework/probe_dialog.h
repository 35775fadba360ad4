// Resource identifiers of the framework tests' dialog (probe_dialog.rc).
#pragma once

#define IDD_PROBE 100
#define IDC_PROBE_FIELD 1000
#define IDC_PROBE_LIST 1001
