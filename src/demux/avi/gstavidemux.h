// Private state of the avi format parser.
#pragma once

#include "quillar/parser.h"

namespace quillar {

struct AviDemuxState {
  ParserOutput *output;
};

}  // namespace quillar
