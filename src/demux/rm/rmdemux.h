// Private state of the rm format parser.
#pragma once

#include "quillar/parser.h"

namespace quillar {

struct RmDemuxState {
  ParserOutput *output;
};

}  // namespace quillar
