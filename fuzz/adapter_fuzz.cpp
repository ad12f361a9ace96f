// SPDX-License-Identifier: BSD-2-Clause
// Runs a sequence of adapter operations decoded from the input and checks
// every answer against a plain model of the byte stream.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/internal.h"
#include "fuzz_input.h"
#include "quillar/gstadapter.h"

namespace {

#define CHECK(cond) \
  do {              \
    if (!(cond)) abort(); \
  } while (0)

uint32_t scan_model(const std::vector<uint8_t> &m, uint32_t mask, uint32_t pattern, uint32_t offset,
                    uint32_t size) {
  if (size < 4 || static_cast<uint64_t>(offset) + size > m.size() || (pattern & ~mask)) return 0xFFFFFFFFu;
  for (uint32_t i = offset; i + 4 <= offset + size; i++) {
    const uint32_t v = static_cast<uint32_t>(m[i]) << 24 | m[i + 1] << 16 | m[i + 2] << 8 | m[i + 3];
    if ((v & mask) == pattern) return i;
  }
  return 0xFFFFFFFFu;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qfuzz::Input in(data, size);
  GstAdapter *a = gst_adapter_new();
  std::vector<uint8_t> model;
  GstBuffer *parent = nullptr;  // spans of one parent exercise the merge
  uint32_t parent_used = 0;
  while (!in.empty()) {
    const uint8_t op = in.u8() % 10;
    const uint32_t n = in.u16() % 3000;
    switch (op) {
      case 0:
      case 1: {  // push a fresh buffer, or the next span of a shared parent
        size_t got = 0;
        const uint8_t *bytes = in.bytes(n, &got);
        GstBuffer *b;
        if (op == 1) {
          if (!parent || parent_used + got > parent->size) {
            gst_buffer_unref(parent);
            parent = gst_buffer_new_and_alloc(8192);
            parent_used = 0;
          }
          if (got > parent->size) got = parent->size;
          memcpy(parent->data + parent_used, bytes, got);
          b = gst_buffer_create_sub(parent, parent_used, static_cast<uint32_t>(got));
          parent_used += static_cast<uint32_t>(got);
        } else {
          b = gst_buffer_new_and_alloc(static_cast<uint32_t>(got));
          if (got) memcpy(b->data, bytes, got);
        }
        gst_adapter_push(a, b);
        model.insert(model.end(), bytes, bytes + got);
        break;
      }
      case 2: {
        const guint8 *p = gst_adapter_peek(a, n);
        CHECK((p != nullptr) == (n > 0 && n <= model.size()));
        if (p) CHECK(memcmp(p, model.data(), n) == 0);
        break;
      }
      case 3:
        gst_adapter_flush(a, n);
        if (n > 0 && n <= model.size()) model.erase(model.begin(), model.begin() + n);
        break;
      case 4: {
        guint8 *p = gst_adapter_take(a, n);
        CHECK((p != nullptr) == (n > 0 && n <= model.size()));
        if (p) {
          CHECK(memcmp(p, model.data(), n) == 0);
          model.erase(model.begin(), model.begin() + n);
          free(p);
        }
        break;
      }
      case 5: {
        GstBuffer *b = gst_adapter_take_buffer(a, n);
        CHECK((b != nullptr) == (n > 0 && n <= model.size()));
        if (b) {
          CHECK(b->size == n && memcmp(b->data, model.data(), n) == 0);
          model.erase(model.begin(), model.begin() + n);
          gst_buffer_unref(b);
        }
        break;
      }
      case 6: {
        const uint32_t offset = in.u16() % 3000;
        std::vector<uint8_t> out(n + 1, 0xEE);
        gst_adapter_copy(a, out.data(), offset, n);
        if (n > 0 && static_cast<uint64_t>(offset) + n <= model.size())
          CHECK(memcmp(out.data(), model.data() + offset, n) == 0);
        else
          CHECK(out[0] == 0xEE);
        break;
      }
      case 7: {
        GList *list = gst_adapter_take_list(a, n);
        CHECK((list != nullptr) == (n > 0 && n <= model.size()));
        size_t at = 0;
        while (list) {
          auto *b = static_cast<GstBuffer *>(list->data);
          CHECK(at + b->size <= n && memcmp(b->data, model.data() + at, b->size) == 0);
          at += b->size;
          gst_buffer_unref(b);
          GList *next = list->next;
          free(list);
          list = next;
        }
        if (n > 0 && n <= model.size()) {
          CHECK(at == n);
          model.erase(model.begin(), model.begin() + n);
        }
        break;
      }
      case 8: {
        const uint32_t mask = in.u8() & 1 ? 0xFFFFFF00u : in.u32();
        const uint32_t pattern = (in.u8() & 1 ? 0x00000100u : in.u32()) & (in.u8() & 1 ? mask : 0xFFFFFFFFu);
        const uint32_t offset = in.u16() % 3000;
        guint32 value = 0;
        const uint32_t got = gst_adapter_masked_scan_uint32_peek(a, mask, pattern, offset, n, &value);
        CHECK(got == scan_model(model, mask, pattern, offset, n));
        break;
      }
      default:
        if (n % 7 == 0) {
          gst_adapter_clear(a);
          model.clear();
        }
        break;
    }
    CHECK(gst_adapter_available(a) == model.size());
    CHECK(gst_adapter_available_fast(a) <= model.size());
  }
  gst_buffer_unref(parent);
  gst_adapter_unref(a);
  return 0;
}
