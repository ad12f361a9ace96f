// Private state of the vp6 format parser.
#pragma once

#include "quillar/parser.h"

namespace quillar {

struct Vp6ParseState {
  ParserOutput *output;
};

}  // namespace quillar
