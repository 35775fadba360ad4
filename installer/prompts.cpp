#include "prompts.h"

#include "messages.h"

BOOL ConfirmInstall() {
  for (;;) {
    // Only an explicit No leads to the exit prompt; a box that could not be
    // shown counts as going on.
    if (MessageBoxA(NULL, CONFIRM_TEXT, APP_CAPTION, MB_YESNO) != IDNO) return TRUE;
    if (AskExit()) return FALSE;
  }
}

BOOL AskExit() { return MessageBoxA(NULL, EXIT_PROMPT_TEXT, WARNING_CAPTION, MB_YESNO) == IDYES; }

BOOL AskCopyAgain() { return MessageBoxA(NULL, COPY_FAILED_TEXT, WARNING_CAPTION, MB_YESNO) == IDYES; }

void ShowWarning(LPCSTR text) { MessageBoxA(NULL, text, WARNING_CAPTION, MB_OK); }
