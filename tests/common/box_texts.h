// The texts and captions of the programs' message boxes (and the installer's
// dialog caption), to the character, as the tests expect them. The tests keep
// their own copy rather than include the programs' headers, so that a slip
// in a program's text fails a test.
#pragma once

namespace texts {

// InstallQTonal
inline constexpr char kAppCaption[] = "Plurava Applications setup program";
inline constexpr char kWarningCaption[] = "Warning";
inline constexpr char kConfirm[] =
    "Setup program will install Plurava Applications now, Please make sure\n"
    "the setup program is still in the CD-ROM.\n\nDo you want to continue?";
inline constexpr char kExit[] = "Do you want to EXIT Plurava Applications installation now?";
inline constexpr char kNoDrivers[] = "Can not find Plurava drivers!";
inline constexpr char kNoSetup[] =
    "Can not find the Plurava Applications setup program.\nPlease run the setup program by yourself.";
inline constexpr char kCopyFailed[] =
    "Some driver files could not be copied to C:\\Q-Tonal.\nPlease make sure the CD-ROM is in the drive and drive "
    "C: is not full.\n\nDo you want to try again?";

// The status window's line
inline constexpr char kDeviceWait[] = "Waiting for Windows to finish installing the sound card...";

// Qtmpu
inline constexpr char kMixerBusy[] = "Please close all Windows Sound AP and start this DOS AP again";
inline constexpr char kMixerBusyCaption[] = "DOS Mode MPU-401 Emulator";

}  // namespace texts
