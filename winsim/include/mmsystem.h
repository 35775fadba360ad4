// Windows multimedia: timers and mixers.
#pragma once

#include <windows.h>
