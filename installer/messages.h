// The texts and captions the installer shows, to the character.
#pragma once

#define APP_CAPTION "Plurava Applications setup program"
#define WARNING_CAPTION "Warning"

#define CONFIRM_TEXT                                                      \
  "Setup program will install Plurava Applications now, Please make sure\n" \
  "the setup program is still in the CD-ROM.\n\nDo you want to continue?"
#define EXIT_PROMPT_TEXT "Do you want to EXIT Plurava Applications installation now?"
#define NO_DRIVERS_TEXT "Can not find Plurava drivers!"
#define NO_SETUP_TEXT \
  "Can not find the Plurava Applications setup program.\nPlease run the setup program by yourself."
#define COPY_FAILED_TEXT                                                                   \
  "Some driver files could not be copied to C:\\Q-Tonal.\nPlease make sure the CD-ROM is in " \
  "the drive and drive C: is not full.\n\nDo you want to try again?"

// The status window's line while the installer waits for the card's device,
// and while it copies a file (COPYING_TEXT_HEAD, the file's name, then
// COPYING_TEXT_TAIL).
#define DEVICE_WAIT_TEXT "Waiting for Windows to finish installing the sound card..."
#define COPYING_TEXT_HEAD "Copying "
#define COPYING_TEXT_TAIL "..."
