// Helpers the format parsers use on the block they share with the front end.
#pragma once

#include "containers/list_internal.h"
#include "quillar/parser.h"

namespace quillar {

// Queues a finished frame, handing over the caller's reference. A NULL frame
// is never queued. Returns false, with the frame released, when it could not
// be queued (NULL, or out of memory); callers then report CHAIN_ERROR.
inline bool queue_frame(ParserOutput *output, GstBuffer *frame) {
  if (!frame) return false;
  if (slist_append(&output->frames, frame)) return true;
  gst_buffer_unref(frame);
  return false;
}

// Every chain and reset function begins by fetching its state record.
template <typename State>
State *state_of(ParserOutput *output) {
  return static_cast<State *>(output->parser_state);
}

}  // namespace quillar
