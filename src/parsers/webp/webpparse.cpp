// The webp format parser (not built yet: refuses every stream).
#include "parsers/webp/webpparse.h"

extern "C" {

int32_t WEBPPARSE_Chain(ParserOutput *output, GstBuffer *buffer) {
  (void)output;
  gst_buffer_unref(buffer);
  return CHAIN_NOT_SUPPORTED;
}

void WEBPPARSE_Reset(ParserOutput *output) { (void)output; }

}  // extern "C"
