// The lowest layer includes only itself.
#include "driver/foundation/log.h"
