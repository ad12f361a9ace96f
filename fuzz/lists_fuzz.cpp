// SPDX-License-Identifier: BSD-2-Clause
// GSList, GList and GQueue: an operation sequence decoded from the input
// (first byte: which family) runs against a std::deque model, and the whole
// structure (links, back links, queue ends and length) is compared with the
// model after every step. Elements are small integers (equal ones repeat).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>

#include "fuzz_input.h"
#include "quillar/glist.h"

namespace {

#define CHECK(cond) \
  do {              \
    if (!(cond)) abort(); \
  } while (0)

using Model = std::deque<uintptr_t>;

gpointer P(uintptr_t v) { return reinterpret_cast<gpointer>(v); }
uintptr_t V(gconstpointer p) { return reinterpret_cast<uintptr_t>(p); }
gint compare(gconstpointer a, gconstpointer b) { return V(a) < V(b) ? -1 : V(a) > V(b); }
gint compare_data(gconstpointer a, gconstpointer b, gpointer) { return compare(a, b); }

// The two list families share one driver through these overloads.
GSList *append(GSList *l, gpointer d) { return g_slist_append(l, d); }
GList *append(GList *l, gpointer d) { return g_list_append(l, d); }
GSList *prepend(GSList *l, gpointer d) { return g_slist_prepend(l, d); }
GList *prepend(GList *l, gpointer d) { return g_list_prepend(l, d); }
GSList *insert(GSList *l, gpointer d, gint n) { return g_slist_insert(l, d, n); }
GList *insert(GList *l, gpointer d, gint n) { return g_list_insert(l, d, n); }
GSList *insert_before(GSList *l, GSList *s, gpointer d) { return g_slist_insert_before(l, s, d); }
GList *insert_before(GList *l, GList *s, gpointer d) { return g_list_insert_before(l, s, d); }
GSList *insert_sorted(GSList *l, gpointer d) { return g_slist_insert_sorted(l, d, compare); }
GList *insert_sorted(GList *l, gpointer d) { return g_list_insert_sorted(l, d, compare); }
GSList *remove(GSList *l, gpointer d) { return g_slist_remove(l, d); }
GList *remove(GList *l, gpointer d) { return g_list_remove(l, d); }
GSList *remove_all(GSList *l, gpointer d) { return g_slist_remove_all(l, d); }
GList *remove_all(GList *l, gpointer d) { return g_list_remove_all(l, d); }
GSList *delete_link(GSList *l, GSList *k) { return g_slist_delete_link(l, k); }
GList *delete_link(GList *l, GList *k) { return g_list_delete_link(l, k); }
GSList *remove_link(GSList *l, GSList *k) { return g_slist_remove_link(l, k); }
GList *remove_link(GList *l, GList *k) { return g_list_remove_link(l, k); }
GSList *reverse(GSList *l) { return g_slist_reverse(l); }
GList *reverse(GList *l) { return g_list_reverse(l); }
GSList *sort(GSList *l) { return g_slist_sort(l, compare); }
GList *sort(GList *l) { return g_list_sort(l, compare); }
GSList *copy(GSList *l) { return g_slist_copy(l); }
GList *copy(GList *l) { return g_list_copy(l); }
GSList *concat(GSList *a, GSList *b) { return g_slist_concat(a, b); }
GList *concat(GList *a, GList *b) { return g_list_concat(a, b); }
GSList *nth(GSList *l, guint n) { return g_slist_nth(l, n); }
GList *nth(GList *l, guint n) { return g_list_nth(l, n); }
gint index_of(GSList *l, gpointer d) { return g_slist_index(l, d); }
gint index_of(GList *l, gpointer d) { return g_list_index(l, d); }
gint position(GSList *l, GSList *k) { return g_slist_position(l, k); }
gint position(GList *l, GList *k) { return g_list_position(l, k); }
guint length(GSList *l) { return g_slist_length(l); }
guint length(GList *l) { return g_list_length(l); }
void free_list(GSList *l) { g_slist_free(l); }
void free_list(GList *l) { g_list_free(l); }
void free_1(GSList *l) { g_slist_free_1(l); }
void free_1(GList *l) { g_list_free_1(l); }
bool back_link_ok(const GSList *, const GSList *) { return true; }
bool back_link_ok(const GList *node, const GList *before) { return node->prev == before; }

template <typename L>
void expect(const L *list, const Model &m) {
  const L *before = nullptr;
  size_t i = 0;
  for (const L *n = list; n; before = n, n = n->next, i++)
    CHECK(i < m.size() && V(n->data) == m[i] && back_link_ok(n, before));
  CHECK(i == m.size());
}

long model_index(const Model &m, uintptr_t v) {
  auto it = std::find(m.begin(), m.end(), v);
  return it == m.end() ? -1 : it - m.begin();
}

template <typename L>
void run_list(qfuzz::Input &in) {
  L *list = nullptr;
  Model m;
  while (!in.empty() && m.size() < 512) {
    const uint8_t op = in.u8() % 13;
    const uintptr_t v = in.u8() % 8;
    const uint32_t k = in.u8();
    switch (op) {
      case 0: list = append(list, P(v)), m.push_back(v); break;
      case 1: list = prepend(list, P(v)), m.push_front(v); break;
      case 2: {
        const gint at = static_cast<int8_t>(k);
        list = insert(list, P(v), at);
        m.insert(at < 0 || static_cast<size_t>(at) > m.size() ? m.end() : m.begin() + at, v);
        break;
      }
      case 3:
        list = insert_before(list, nth(list, k), P(v));
        m.insert(k < m.size() ? m.begin() + k : m.end(), v);
        break;
      case 4:
        list = insert_sorted(list, P(v));
        m.insert(std::find_if(m.begin(), m.end(), [&](uintptr_t e) { return v <= e; }), v);
        break;
      case 5: {
        list = remove(list, P(v));
        const long at = model_index(m, v);
        if (at >= 0) m.erase(m.begin() + at);
        break;
      }
      case 6: list = remove_all(list, P(v)), m.erase(std::remove(m.begin(), m.end(), v), m.end()); break;
      case 7:
      case 8:
        if (k < m.size()) {
          L *link = nth(list, k);
          CHECK(position(list, link) == static_cast<gint>(k));
          if (op == 7) {
            list = delete_link(list, link);
          } else {
            list = remove_link(list, link);
            CHECK(link->next == nullptr);
            free_1(link);
          }
          m.erase(m.begin() + k);
        }
        break;
      case 9: list = reverse(list), std::reverse(m.begin(), m.end()); break;
      case 10: list = sort(list), std::stable_sort(m.begin(), m.end()); break;
      case 11: {  // a copy, then a concatenation of a few more elements
        L *c = copy(list);
        expect(c, m);
        free_list(c);
        L *more = nullptr;
        for (uint32_t i = 0; i < k % 4; i++) more = append(more, P(i)), m.push_back(i);
        list = concat(list, more);
        break;
      }
      default:
        CHECK(length(list) == m.size() && index_of(list, P(v)) == model_index(m, v));
        CHECK((nth(list, k) != nullptr) == (k < m.size()));
        break;
    }
    expect(list, m);
  }
  free_list(list);
}

void expect_queue(GQueue *q, const Model &m) {
  expect(q->head, m);
  CHECK(q->length == m.size() && g_queue_get_length(q) == m.size());
  CHECK(q->tail == (m.empty() ? nullptr : g_list_last(q->head)));
}

void run_queue(qfuzz::Input &in) {
  GQueue *q = g_queue_new();
  if (!q) return;
  Model m;
  while (!in.empty() && m.size() < 512) {
    const uint8_t op = in.u8() % 14;
    const uintptr_t v = in.u8() % 8;
    const uint32_t k = in.u8();
    GList *link = g_queue_peek_nth_link(q, k);
    CHECK((link != nullptr) == (k < m.size()));
    switch (op) {
      case 0: g_queue_push_head(q, P(v)), m.push_front(v); break;
      case 1: g_queue_push_tail(q, P(v)), m.push_back(v); break;
      case 2: {
        const gint at = static_cast<int8_t>(k);
        g_queue_push_nth(q, P(v), at);
        m.insert(at < 0 || static_cast<size_t>(at) >= m.size() ? m.end() : m.begin() + at, v);
        break;
      }
      case 3: {
        const uintptr_t got = V(g_queue_pop_head(q));
        CHECK(got == (m.empty() ? 0 : m.front()));
        if (!m.empty()) m.pop_front();
        break;
      }
      case 4: {
        const uintptr_t got = V(g_queue_pop_tail(q));
        CHECK(got == (m.empty() ? 0 : m.back()));
        if (!m.empty()) m.pop_back();
        break;
      }
      case 5: {
        const uintptr_t got = V(g_queue_pop_nth(q, k));
        CHECK(got == (k < m.size() ? m[k] : 0));
        if (k < m.size()) m.erase(m.begin() + k);
        break;
      }
      case 6: {
        const long at = model_index(m, v);
        CHECK(g_queue_remove(q, P(v)) == (at >= 0));
        if (at >= 0) m.erase(m.begin() + at);
        break;
      }
      case 7: {
        const size_t before = m.size();
        m.erase(std::remove(m.begin(), m.end(), v), m.end());
        CHECK(g_queue_remove_all(q, P(v)) == before - m.size());
        break;
      }
      case 8:
        g_queue_insert_before(q, link, P(v));
        if (link) m.insert(m.begin() + k, v);
        break;
      case 9:
        g_queue_insert_after(q, link, P(v));
        if (link) m.insert(m.begin() + k + 1, v);
        break;
      case 10:
        g_queue_insert_sorted(q, P(v), compare_data, nullptr);
        m.insert(std::find_if(m.begin(), m.end(), [&](uintptr_t e) { return e >= v; }), v);
        break;
      case 11:
        if (link) {
          CHECK(g_queue_link_index(q, link) == static_cast<gint>(k));
          g_queue_delete_link(q, link);
          m.erase(m.begin() + k);
        }
        break;
      case 12: {  // move a link from one end to the other
        GList *head = g_queue_pop_head_link(q);
        if (head) {
          g_queue_push_tail_link(q, head);
          m.push_back(m.front()), m.pop_front();
        }
        break;
      }
      default:
        if (k & 1) {
          g_queue_reverse(q), std::reverse(m.begin(), m.end());
        } else {
          g_queue_sort(q, compare_data, nullptr), std::stable_sort(m.begin(), m.end());
        }
        break;
    }
    expect_queue(q, m);
    CHECK(V(g_queue_peek_head(q)) == (m.empty() ? 0 : m.front()));
    CHECK(V(g_queue_peek_tail(q)) == (m.empty() ? 0 : m.back()));
    CHECK(g_queue_index(q, P(v)) == model_index(m, v));
  }
  GQueue *c = g_queue_copy(q);
  if (c) expect_queue(c, m);
  g_queue_free(c);
  g_queue_free(q);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qfuzz::Input in(data, size);
  switch (in.u8() % 3) {
    case 0: run_list<GSList>(in); break;
    case 1: run_list<GList>(in); break;
    default: run_queue(in); break;
  }
  return 0;
}
