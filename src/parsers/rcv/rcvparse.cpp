// The rcv format parser (not built yet: refuses every stream).
#include "parsers/rcv/rcvparse.h"

extern "C" {

int32_t RCVPARSE_Chain(ParserOutput *output, GstBuffer *buffer) {
  (void)output;
  gst_buffer_unref(buffer);
  return CHAIN_NOT_SUPPORTED;
}

void RCVPARSE_Reset(ParserOutput *output) { (void)output; }

}  // extern "C"
