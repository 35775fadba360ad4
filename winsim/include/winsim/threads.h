// Placeholder: threads, alertable waiting and queued procedure calls.
#pragma once

#include "types.h"
