// SPDX-License-Identifier: BSD-2-Clause
// The RIFF record parsers. The first byte picks the parser; the rest is the
// buffer it gets, in an exact-size heap block. Sub-buffers that come back
// must lie inside it and every byte handed back is read.
#include <cstdlib>
#include <cstring>

#include "quillar/riff.h"

namespace {

#define CHECK(cond) \
  do {              \
    if (!(cond)) abort(); \
  } while (0)

volatile uint8_t g_sink;

void touch(const void *p, size_t n) {
  for (size_t i = 0; i < n; i++) g_sink = static_cast<uint8_t>(g_sink ^ static_cast<const uint8_t *>(p)[i]);
}

// A sub-buffer that must share the bytes of `root` (or be NULL).
void check_sub(const GstBuffer *root, GstBuffer *sub) {
  if (!sub) return;
  CHECK(sub->data >= root->data && sub->size <= root->size &&
        static_cast<size_t>(sub->data - root->data) <= root->size - sub->size);
  touch(sub->data, sub->size);
  gst_buffer_unref(sub);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const uint8_t which = data[0] % 6;
  GstBuffer *buf = gst_buffer_new_and_alloc(static_cast<uint32_t>(size - 1));
  if (!buf) return 0;
  memcpy(buf->data, data + 1, size - 1);
  int element = 0;
  GstBuffer *extra = nullptr;
  void *record = nullptr;  // a copy of the whole payload on success
  const size_t payload = size - 1;
  if (which != 0) gst_buffer_ref(buf);  // kept to check what comes back against
  switch (which) {
    case 0: {  // walk the buffer as a list of chunks
      guint32 offset = 0, tag = 0;
      GstBuffer *chunk = nullptr;
      while (gst_riff_parse_chunk(&element, buf, &offset, &tag, &chunk)) {
        CHECK(offset <= buf->size + 1u);  // the pad byte may be missing
        check_sub(buf, chunk);
      }
      CHECK(chunk == nullptr && tag == 0);
      gst_buffer_unref(buf);
      return 0;
    }
    case 1: {
      guint32 doctype = 0;
      gst_riff_parse_file_header(&element, buf, &doctype);
      gst_buffer_unref(buf);
      return 0;
    }
    case 2: {
      RiffStreamHeader *strh = nullptr;
      if (gst_riff_parse_strh(&element, buf, &strh)) CHECK(strh->scale != 0 && strh->rate != 0);
      record = strh;
      break;
    }
    case 3: {
      RiffVideoFormat *vids = nullptr;
      gst_riff_parse_strf_vids(&element, buf, &vids, &extra);
      record = vids;
      break;
    }
    case 4: {
      RiffAudioFormat *auds = nullptr;
      gst_riff_parse_strf_auds(&element, buf, &auds, &extra);
      record = auds;
      break;
    }
    default: {
      RiffDvFormat *dv = nullptr;
      gst_riff_parse_strf_iavs(&element, buf, &dv, &extra);
      CHECK(extra == nullptr);
      record = dv;
      break;
    }
  }
  if (record) touch(record, payload);
  check_sub(buf, extra);
  gst_buffer_unref(buf);
  free(record);
  return 0;
}
