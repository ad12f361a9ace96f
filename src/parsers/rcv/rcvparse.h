// Private state of the rcv format parser.
#pragma once

#include "quillar/parser.h"

namespace quillar {

struct RcvParseState {
  ParserOutput *output;
};

}  // namespace quillar
