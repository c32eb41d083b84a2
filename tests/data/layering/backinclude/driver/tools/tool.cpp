// A folder of driver/ that the layer order does not name: refused until it has a place.
#include "driver/foundation/log.h"
