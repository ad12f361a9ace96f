// SPDX-License-Identifier: BSD-2-Clause
// GArray against a std::vector model (element size and zero termination
// from the input, then appends and removals), and the string and memory
// helpers on exact-size copies of input bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "quillar/garray.h"

namespace {

#define CHECK(cond) \
  do {              \
    if (!(cond)) abort(); \
  } while (0)

void run_array(qfuzz::Input &in) {
  const uint8_t shape = in.u8();
  const guint element = 1 + shape % 16;
  const bool terminated = shape & 0x80;
  GArray *a = g_array_sized_new(terminated, shape & 0x40, element, in.u8() % 8);
  if (!a) return;
  std::vector<uint8_t> m;  // the elements' bytes
  while (!in.empty() && m.size() < 64 * 1024) {
    const uint8_t op = in.u8();
    if (op & 1) {
      const guint n = (op >> 1) % 9;
      size_t got = 0;
      const uint8_t *bytes = in.bytes(static_cast<size_t>(n) * element, &got);
      std::vector<uint8_t> values(bytes, bytes + got);
      values.resize(static_cast<size_t>(n) * element);
      CHECK(g_array_append_vals(a, values.empty() ? nullptr : values.data(), n) == a);
      m.insert(m.end(), values.begin(), values.end());
    } else {
      const guint index = in.u8();
      const bool there = index < a->len;
      CHECK((g_array_remove_index(a, index) != nullptr) == there);
      if (there) m.erase(m.begin() + index * element, m.begin() + (index + 1) * element);
    }
    CHECK(a->len * static_cast<size_t>(element) == m.size() && a->element_size == element);
    if (a->data == nullptr) {
      CHECK(m.empty() && !terminated);
      continue;
    }
    CHECK(a->allocated_bytes >= m.size() + (terminated ? element : 0));
    CHECK(m.empty() || memcmp(a->data, m.data(), m.size()) == 0);  // an empty model has no data
    if (terminated)
      for (guint i = 0; i < element; i++) CHECK(a->data[m.size() + i] == 0);
  }
  g_array_free(a, 1);
}

void run_strings(qfuzz::Input &in) {
  const size_t n = in.u8();
  size_t got = 0;
  const uint8_t *bytes = in.bytes(in.remaining(), &got);
  auto *text = static_cast<gchar *>(malloc(got + 1));  // exact, plus one NUL
  memcpy(text, bytes, got);
  text[got] = 0;
  // g_strndup may read at most min(n, got) bytes of an unterminated run.
  auto *raw = static_cast<gchar *>(malloc(got ? got : 1));
  memcpy(raw, bytes, got);
  gchar *d = g_strndup(raw, n < got ? n : got);
  const size_t expect = strnlen(text, n < got ? n : got);
  CHECK(d && strlen(d) == expect && memcmp(d, text, expect) == 0);
  CHECK(g_str_has_prefix(text, d) == 1);
  CHECK(g_str_has_prefix(d, text) == (strlen(text) <= expect));
  gchar *s = g_strdup(text);
  CHECK(s && strcmp(s, text) == 0);
  auto *m = static_cast<uint8_t *>(g_memdup(raw, static_cast<guint>(got)));
  CHECK(m && memcmp(m, raw, got) == 0);
  auto *z = static_cast<uint8_t *>(_g_new0(1 + n % 32, 1 + got % 32));
  for (size_t i = 0; z && i < (1 + n % 32) * (1 + got % 32); i++) CHECK(z[i] == 0);
  CHECK(_g_new0(SIZE_MAX / 2 + 1 + n, 2 + got % 7) == nullptr);
  CHECK(_g_try_renew(z, SIZE_MAX / 4 + got, 8) == nullptr);  // z stays valid
  free(z);
  free(m), free(s), free(d), free(raw), free(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qfuzz::Input in(data, size);
  if (in.u8() & 1)
    run_strings(in);
  else
    run_array(in);
  return 0;
}
