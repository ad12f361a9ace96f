// Moved below the front end: formats include format/format.h.
#pragma once

#include "format/format.h"
