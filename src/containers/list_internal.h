// Library-internal list helpers that report allocation failure.
#pragma once

#include "quillar/glist.h"

namespace quillar {

// Appends `data` to *list. Returns false (list unchanged) when the node
// cannot be allocated, so that a caller handing over ownership through the
// append can release what it meant to hand over.
bool slist_append(GSList **list, void *data);

}  // namespace quillar
