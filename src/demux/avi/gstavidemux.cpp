// The avi format parser (not built yet: refuses every stream).
#include "demux/avi/gstavidemux.h"

extern "C" {

int32_t gst_avi_demux_chain(ParserOutput *output, GstBuffer *buffer) {
  (void)output;
  gst_buffer_unref(buffer);
  return CHAIN_NOT_SUPPORTED;
}

void gst_avi_demux_reset_wrapper(ParserOutput *output) { (void)output; }

}  // extern "C"
