// Private state of the webp format parser.
#pragma once

#include "quillar/parser.h"

namespace quillar {

struct WebpParseState {
  ParserOutput *output;
};

}  // namespace quillar
