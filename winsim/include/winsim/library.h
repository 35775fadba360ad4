// Placeholder: filled by the work that needs it.
#pragma once

#include "types.h"
