#pragma once

// The GenICam runtime: node maps from GenICam XML with the standard's names.
#include "platform/genapi/api/callback.h"
#include "platform/genapi/api/pointer.h"
#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/base/gcstring.h"
#include "platform/genapi/firmwareupdate/firmwareupdater.h"
#include "platform/genapi/firmwareupdate/gufarchive.h"
#include "platform/genapi/nodemap/nodemapfactory.h"
#include "platform/genapi/nodemap/nodemapref.h"
#include "platform/genapi/nodemap/selectorset.h"
