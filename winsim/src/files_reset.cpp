// Placeholder until this part of the machine is simulated.
#include "internal.h"

namespace winsim::detail {
void ResetFiles() {}
}  // namespace winsim::detail
