// The vp6 format parser (not built yet: refuses every stream).
#include "parsers/vp6/vp6parse.h"

extern "C" {

int32_t gst_vp6_parse_chain(ParserOutput *output, GstBuffer *buffer) {
  (void)output;
  gst_buffer_unref(buffer);
  return CHAIN_NOT_SUPPORTED;
}

void gst_vp6_parse_reset(ParserOutput *output) { (void)output; }

}  // extern "C"
