// The firmware side builds beside the device layer, yet names its error codes from the table.
#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::firmware {

void RecordsByName(CError& error) { error.SetError(errorcode::kFpgaProgrammingError, 3); }

}  // namespace zor::firmware
