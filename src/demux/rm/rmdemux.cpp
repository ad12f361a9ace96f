// The rm format parser (not built yet: refuses every stream).
#include "demux/rm/rmdemux.h"

extern "C" {

int32_t gst_rmdemux_chain(ParserOutput *output, GstBuffer *buffer) {
  (void)output;
  gst_buffer_unref(buffer);
  return CHAIN_NOT_SUPPORTED;
}

void gst_rmdemux_reset(ParserOutput *output) { (void)output; }

}  // extern "C"
