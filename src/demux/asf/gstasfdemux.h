// Private state of the asf format parser.
#pragma once

#include "quillar/parser.h"

namespace quillar {

struct AsfDemuxState {
  ParserOutput *output;
};

}  // namespace quillar
