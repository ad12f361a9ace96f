// SPDX-License-Identifier: BSD-2-Clause
// Singly and doubly linked lists and queues.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "quillar/glist.h"

namespace {

using Items = std::vector<intptr_t>;

gpointer P(intptr_t v) { return reinterpret_cast<gpointer>(v); }
intptr_t V(gconstpointer p) { return reinterpret_cast<intptr_t>(p); }

Items items(GSList *l) {
  Items out;
  for (; l; l = l->next) out.push_back(V(l->data));
  return out;
}

// Also checks that every prev pointer mirrors the next pointers.
Items items(GList *l) {
  Items out;
  GList *prev = nullptr;
  for (; l; prev = l, l = l->next) {
    EXPECT_EQ(l->prev, prev) << "prev of element " << out.size();
    out.push_back(V(l->data));
  }
  return out;
}

// The elements of a queue, checking head, tail and length against the nodes.
Items items(GQueue *q) {
  Items out = items(q->head);
  EXPECT_EQ(q->length, out.size());
  EXPECT_EQ(q->tail, g_list_last(q->head));
  return out;
}

GSList *slist_of(Items values) {
  GSList *l = nullptr;
  for (intptr_t v : values) l = g_slist_append(l, P(v));
  return l;
}

GList *list_of(Items values) {
  GList *l = nullptr;
  for (intptr_t v : values) l = g_list_append(l, P(v));
  return l;
}

gint by_value(gconstpointer a, gconstpointer b) { return V(a) < V(b) ? -1 : V(a) > V(b); }

// Elements that sort by key and remember their input order.
struct Keyed {
  int key;
  int id;
};
gint by_key(gconstpointer a, gconstpointer b, gpointer calls) {
  ++*static_cast<int *>(calls);
  return static_cast<const Keyed *>(a)->key - static_cast<const Keyed *>(b)->key;
}

std::vector<Keyed> keyed_input(size_t n) {
  std::mt19937 rng(7);
  std::vector<Keyed> v(n);
  for (size_t i = 0; i < n; i++) v[i] = {static_cast<int>(rng() % 5), static_cast<int>(i)};
  return v;
}

template <typename List>
std::vector<Keyed> keyed_items(List *l) {
  std::vector<Keyed> out;
  for (; l; l = l->next) out.push_back(*static_cast<Keyed *>(l->data));
  return out;
}

void expect_stably_sorted(std::vector<Keyed> got, std::vector<Keyed> input) {
  std::stable_sort(input.begin(), input.end(), [](Keyed a, Keyed b) { return a.key < b.key; });
  ASSERT_EQ(got.size(), input.size());
  for (size_t i = 0; i < got.size(); i++) {
    EXPECT_EQ(got[i].key, input[i].key) << i;
    EXPECT_EQ(got[i].id, input[i].id) << "equal elements changed order at " << i;
  }
}

TEST(SList, SurgeryAtHeadMiddleAndTail) {
  GSList *l = slist_of({1, 2, 3});
  l = g_slist_prepend(l, P(0));
  l = g_slist_insert(l, P(9), 2);
  EXPECT_EQ(items(l), (Items{0, 1, 9, 2, 3}));
  l = g_slist_insert(l, P(10), -1);
  l = g_slist_insert(l, P(11), 100);
  l = g_slist_insert(l, P(12), 0);
  EXPECT_EQ(items(l), (Items{12, 0, 1, 9, 2, 3, 10, 11}));

  l = g_slist_remove(l, P(12));  // head
  l = g_slist_remove(l, P(9));   // middle
  l = g_slist_remove(l, P(11));  // tail
  l = g_slist_remove(l, P(77));  // absent
  EXPECT_EQ(items(l), (Items{0, 1, 2, 3, 10}));

  l = g_slist_insert_before(l, l, P(20));                     // before the head
  l = g_slist_insert_before(l, g_slist_nth(l, 3), P(21));     // before 2
  l = g_slist_insert_before(l, nullptr, P(22));               // appends
  EXPECT_EQ(items(l), (Items{20, 0, 1, 21, 2, 3, 10, 22}));

  GSList *link = g_slist_nth(l, 3);
  l = g_slist_remove_link(l, link);
  EXPECT_EQ(link->next, nullptr);
  EXPECT_EQ(g_slist_position(l, link), -1);
  g_slist_free_1(link);
  l = g_slist_delete_link(l, l);                      // head
  l = g_slist_delete_link(l, g_slist_last(l));        // tail
  EXPECT_EQ(items(l), (Items{0, 1, 2, 3, 10}));

  l = g_slist_concat(l, slist_of({2, 2}));
  l = g_slist_remove_all(l, P(2));
  EXPECT_EQ(items(l), (Items{0, 1, 3, 10}));
  l = g_slist_reverse(l);
  EXPECT_EQ(items(l), (Items{10, 3, 1, 0}));

  GSList *copy = g_slist_copy(l);
  EXPECT_NE(copy, l);
  EXPECT_EQ(items(copy), items(l));
  g_slist_free(copy);
  g_slist_free(l);
  EXPECT_EQ(g_slist_copy(nullptr), nullptr);
  GSList *one = g_slist_insert_before(nullptr, nullptr, P(1));
  EXPECT_EQ(items(one), (Items{1}));
  g_slist_free(one);
}

TEST(SList, LookupsAndEndsOfTheList) {
  GSList *l = slist_of({5, 6, 7, 6});
  EXPECT_EQ(g_slist_length(l), 4u);
  EXPECT_EQ(g_slist_nth_data(l, 2), P(7));
  EXPECT_EQ(g_slist_nth_data(l, 4), nullptr);
  EXPECT_EQ(g_slist_nth(l, 9), nullptr);
  EXPECT_EQ(g_slist_index(l, P(6)), 1);
  EXPECT_EQ(g_slist_index(l, P(8)), -1);
  EXPECT_EQ(g_slist_position(l, g_slist_last(l)), 3);
  GSList stranger = {P(5), nullptr};
  EXPECT_EQ(g_slist_position(l, &stranger), -1);
  EXPECT_EQ(g_slist_find(l, P(7)), g_slist_nth(l, 2));
  EXPECT_EQ(g_slist_find_custom(l, P(7), by_value), g_slist_nth(l, 2));
  EXPECT_EQ(g_slist_find_custom(l, P(7), nullptr), nullptr);
  EXPECT_EQ(g_slist_last(nullptr), nullptr);
  EXPECT_EQ(g_slist_length(nullptr), 0u);
  g_slist_free(l);
}

TEST(SList, DeleteLinkFreesALinkThatIsNotInTheList) {
  GSList *l = slist_of({1, 2});
  GSList *stray = g_slist_prepend(nullptr, P(3));
  l = g_slist_delete_link(l, stray);  // LeakSanitizer notices if it is kept
  EXPECT_EQ(items(l), (Items{1, 2}));
  g_slist_free(l);
}

TEST(SList, AllocHandsOutAZeroFilledNode) {
  GSList *node = g_slist_alloc();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->data, nullptr);
  EXPECT_EQ(node->next, nullptr);
  g_slist_free_1(node);
  GList *dnode = g_list_alloc();
  EXPECT_EQ(dnode->data, nullptr);
  EXPECT_EQ(dnode->next, nullptr);
  EXPECT_EQ(dnode->prev, nullptr);
  g_list_free_1(dnode);
}

TEST(SList, FreeFullReleasesEveryElementAndNode) {
  static int released;
  released = 0;
  GSList *l = nullptr;
  for (int i = 0; i < 3; i++) l = g_slist_prepend(l, malloc(8));
  g_slist_free_full(l, [](gpointer p) {
    released++;
    free(p);
  });
  EXPECT_EQ(released, 3);
  GList *dl = g_list_append(g_list_append(nullptr, malloc(4)), malloc(4));
  g_list_free_full(dl, free);
}

TEST(SList, SliceChainIsWalkedReadingEachSuccessorBeforeTheFree) {
  // Three 24-byte blocks linked through an unaligned pointer at offset 12.
  constexpr size_t kOffset = 12;
  void *blocks[3];
  for (auto &b : blocks) b = calloc(1, 24);
  for (int i = 0; i < 2; i++) memcpy(static_cast<char *>(blocks[i]) + kOffset, &blocks[i + 1], 8);
  g_slice_free_chain_with_offset(24, blocks[0], kOffset);  // ASan: no use after free, no leak
  g_slice_free_chain_with_offset(24, nullptr, kOffset);
}

TEST(SList, InsertSortedGoesBeforeEqualElements) {
  const intptr_t a = 1, b = 2, c = 3, b2 = 2;
  GSList *l = slist_of({a, b, c});
  GSList *old_second = g_slist_nth(l, 1);
  l = g_slist_insert_sorted(l, P(b2), by_value);
  EXPECT_EQ(items(l), (Items{1, 2, 2, 3}));
  EXPECT_EQ(g_slist_nth(l, 2), old_second) << "the new element goes before the equal one";
  l = g_slist_insert_sorted(l, P(0), by_value);
  l = g_slist_insert_sorted(l, P(9), by_value);
  EXPECT_EQ(items(l), (Items{0, 1, 2, 2, 3, 9}));
  EXPECT_EQ(g_slist_insert_sorted(l, P(4), nullptr), l);
  EXPECT_EQ(g_slist_length(l), 6u);
  g_slist_free(l);

  GList *dl = list_of({1, 2, 3});
  GList *dold = g_list_nth(dl, 1);
  dl = g_list_insert_sorted(dl, P(2), by_value);
  dl = g_list_insert_sorted(dl, P(0), by_value);
  dl = g_list_insert_sorted(dl, P(9), by_value);
  EXPECT_EQ(items(dl), (Items{0, 1, 2, 2, 3, 9}));
  EXPECT_EQ(g_list_nth(dl, 3), dold);
  g_list_free(dl);
}

TEST(SList, SortOrdersAndKeepsEqualElementsInInputOrder) {
  GSList *l = g_slist_sort(slist_of({3, 1, 2}), by_value);
  EXPECT_EQ(items(l), (Items{1, 2, 3}));
  g_slist_free(l);
  EXPECT_EQ(g_slist_sort(nullptr, by_value), nullptr);

  for (size_t n : {2u, 3u, 5u, 64u, 333u}) {
    std::vector<Keyed> input = keyed_input(n);
    GSList *k = nullptr;
    for (auto &e : input) k = g_slist_append(k, &e);
    int calls = 0;
    k = g_slist_sort_with_data(k, by_key, &calls);
    EXPECT_GT(calls, 0);
    expect_stably_sorted(keyed_items(k), input);
    g_slist_free(k);
  }
}

TEST(List, SurgeryAtHeadMiddleAndTailKeepsPrevLinks) {
  GList *l = list_of({1, 2, 3});
  l = g_list_prepend(l, P(0));
  l = g_list_insert(l, P(9), 2);
  l = g_list_insert(l, P(10), -1);
  l = g_list_insert(l, P(11), 100);
  EXPECT_EQ(items(l), (Items{0, 1, 9, 2, 3, 10, 11}));

  l = g_list_insert_before(l, l, P(20));
  l = g_list_insert_before(l, g_list_nth(l, 4), P(21));
  l = g_list_insert_before(l, nullptr, P(22));
  EXPECT_EQ(items(l), (Items{20, 0, 1, 9, 21, 2, 3, 10, 11, 22}));

  GList *mid = g_list_nth(l, 3);
  l = g_list_remove_link(l, mid);
  EXPECT_EQ(mid->next, nullptr);
  EXPECT_EQ(mid->prev, nullptr);
  g_list_free_1(mid);
  l = g_list_delete_link(l, l);
  l = g_list_delete_link(l, g_list_last(l));
  l = g_list_remove(l, P(21));
  EXPECT_EQ(items(l), (Items{0, 1, 2, 3, 10, 11}));

  l = g_list_concat(l, list_of({2, 2}));
  l = g_list_remove_all(l, P(2));
  EXPECT_EQ(items(l), (Items{0, 1, 3, 10, 11}));

  GList *last = g_list_last(l);
  EXPECT_EQ(g_list_nth_prev(last, 2)->data, P(3));
  EXPECT_EQ(g_list_nth_prev(last, 5), nullptr);
  EXPECT_EQ(g_list_first(last), l);
  EXPECT_EQ(g_list_length(g_list_nth(l, 3)), 2u);
  EXPECT_EQ(g_list_position(l, last), 4);
  EXPECT_EQ(g_list_index(l, P(3)), 2);
  EXPECT_EQ(g_list_find_custom(l, P(10), by_value), g_list_nth(l, 3));
  EXPECT_EQ(g_list_nth_data(l, 5), nullptr);

  l = g_list_reverse(l);
  EXPECT_EQ(items(l), (Items{11, 10, 3, 1, 0}));
  GList *copy = g_list_copy(l);
  EXPECT_EQ(items(copy), items(l));
  g_list_free(copy);
  g_list_free(l);
}

TEST(List, SortIsStableAndRelinksPrev) {
  GList *l = g_list_sort(list_of({3, 1, 2}), by_value);
  EXPECT_EQ(items(l), (Items{1, 2, 3}));
  g_list_free(l);
  for (size_t n : {2u, 3u, 4u, 5u, 200u}) {
    std::vector<Keyed> input = keyed_input(n);
    GList *k = nullptr;
    for (auto &e : input) k = g_list_prepend(k, &e);
    k = g_list_reverse(k);
    int calls = 0;
    k = g_list_sort_with_data(k, by_key, &calls);
    expect_stably_sorted(keyed_items(k), input);
    std::vector<void *> backwards;
    for (GList *t = g_list_last(k); t; t = t->prev) backwards.push_back(t->data);
    EXPECT_EQ(backwards.size(), n) << "prev chain reaches the head";
    g_list_free(k);
  }
}

gint queue_order(gconstpointer a, gconstpointer b, gpointer) { return by_value(a, b); }

// A scripted mix of every element and link operation, checked after each
// step against a std::deque and for head/tail/length consistency.
TEST(Queue, LengthAndLinksStayConsistentThroughEveryOperation) {
  GQueue *q = g_queue_new();
  std::deque<intptr_t> model;
  std::mt19937 rng(11);
  auto pick = [&](size_t bound) { return static_cast<int>(rng() % (bound + 1)); };
  for (int step = 0; step < 3000; step++) {
    const intptr_t v = pick(6);
    const int n = pick(model.size() + 1) - 1;  // -1 .. size
    const guint un = static_cast<guint>(pick(model.size()));
    const size_t len = model.size();
    switch (rng() % 17) {
      case 0: g_queue_push_head(q, P(v)); model.push_front(v); break;
      case 1: g_queue_push_tail(q, P(v)); model.push_back(v); break;
      case 2:
        g_queue_push_nth(q, P(v), n);
        model.insert(n < 0 || static_cast<size_t>(n) >= len ? model.end() : model.begin() + n, v);
        break;
      case 3: EXPECT_EQ(V(g_queue_pop_head(q)), len ? model.front() : 0); if (len) model.pop_front(); break;
      case 4: EXPECT_EQ(V(g_queue_pop_tail(q)), len ? model.back() : 0); if (len) model.pop_back(); break;
      case 5:
        EXPECT_EQ(V(g_queue_pop_nth(q, un)), un < len ? model[un] : 0);
        if (un < len) model.erase(model.begin() + un);
        break;
      case 6:
        g_queue_insert_before(q, g_queue_peek_nth_link(q, un), P(v));
        if (un < len) model.insert(model.begin() + un, v);
        break;
      case 7:
        g_queue_insert_after(q, g_queue_peek_nth_link(q, un), P(v));
        if (un < len) model.insert(model.begin() + un + 1, v);
        break;
      case 8: {
        g_queue_insert_sorted(q, P(v), queue_order, nullptr);
        auto at = std::find_if(model.begin(), model.end(), [&](intptr_t e) { return e >= v; });
        model.insert(at, v);
        break;
      }
      case 9: {
        auto at = std::find(model.begin(), model.end(), v);
        EXPECT_EQ(g_queue_remove(q, P(v)), at != model.end());
        if (at != model.end()) model.erase(at);
        break;
      }
      case 10: {
        const auto count = std::count(model.begin(), model.end(), v);
        EXPECT_EQ(g_queue_remove_all(q, P(v)), static_cast<guint>(count));
        model.erase(std::remove(model.begin(), model.end(), v), model.end());
        break;
      }
      case 11:
        if (un < len) {
          g_queue_delete_link(q, g_queue_peek_nth_link(q, un));
          model.erase(model.begin() + un);
        }
        break;
      case 12: {
        GList *link = g_list_alloc();
        link->data = P(v);
        g_queue_push_nth_link(q, n, link);
        model.insert(n < 0 || static_cast<size_t>(n) >= len ? model.end() : model.begin() + n, v);
        break;
      }
      case 13: {
        GList *link = g_queue_pop_nth_link(q, un);
        EXPECT_EQ(link != nullptr, un < len);
        if (link) {
          EXPECT_EQ(V(link->data), model[un]);
          EXPECT_TRUE(link->next == nullptr && link->prev == nullptr);
          model.erase(model.begin() + un);
          g_list_free_1(link);
        }
        break;
      }
      case 14: g_queue_reverse(q); std::reverse(model.begin(), model.end()); break;
      case 15:
        g_queue_sort(q, queue_order, nullptr);
        std::stable_sort(model.begin(), model.end());
        break;
      case 16:
        if (len > 12) {
          g_queue_clear(q);
          model.clear();
        }
        break;
    }
    ASSERT_EQ(items(q), Items(model.begin(), model.end())) << "after step " << step;
    ASSERT_EQ(g_queue_get_length(q), model.size());
    ASSERT_EQ(g_queue_is_empty(q), model.empty());
  }
  GQueue *copy = g_queue_copy(q);
  EXPECT_EQ(items(copy), items(q));
  g_queue_free(copy);
  g_queue_free(q);
}

TEST(Queue, EdgeRulesOfInsertionAndLinks) {
  GQueue q = G_QUEUE_INIT;
  for (intptr_t v : {1, 2, 3}) g_queue_push_tail(&q, P(v));
  g_queue_insert_before(&q, nullptr, P(9));
  g_queue_insert_after(&q, nullptr, P(9));
  EXPECT_EQ(items(&q), (Items{1, 2, 3})) << "a NULL link inserts nothing";
  g_queue_push_nth(&q, P(4), -1);
  g_queue_push_nth(&q, P(5), 4);
  g_queue_insert_after(&q, q.tail, P(6));
  EXPECT_EQ(items(&q), (Items{1, 2, 3, 4, 5, 6}));
  GList *equal = g_queue_peek_nth_link(&q, 1);
  g_queue_insert_sorted(&q, P(2), queue_order, nullptr);
  EXPECT_EQ(g_queue_peek_nth_link(&q, 2), equal) << "the new element goes before the equal one";
  EXPECT_EQ(g_queue_link_index(&q, equal), 2);

  GList *linked = q.head->next;  // still linked: refused
  g_queue_push_head_link(&q, linked);
  g_queue_push_tail_link(&q, linked);
  g_queue_push_nth_link(&q, 0, linked);
  EXPECT_EQ(q.length, 7u);
  EXPECT_EQ(items(&q), (Items{1, 2, 2, 3, 4, 5, 6}));

  GList *head = g_queue_pop_head_link(&q);
  GList *tail = g_queue_pop_tail_link(&q);
  g_queue_push_tail_link(&q, head);
  g_queue_push_head_link(&q, tail);
  EXPECT_EQ(items(&q), (Items{6, 2, 2, 3, 4, 5, 1}));
  EXPECT_EQ(g_queue_peek_head(&q), P(6));
  EXPECT_EQ(g_queue_peek_tail(&q), P(1));
  EXPECT_EQ(g_queue_peek_nth(&q, 3), P(3));
  EXPECT_EQ(g_queue_peek_nth(&q, 7), nullptr);
  EXPECT_EQ(g_queue_index(&q, P(4)), 4);
  EXPECT_EQ(V(g_queue_find(&q, P(5))->data), 5);

  GList *last = q.tail;
  g_queue_unlink(&q, last);
  EXPECT_TRUE(last->next == nullptr && last->prev == nullptr);
  g_list_free_1(last);
  EXPECT_EQ(items(&q), (Items{6, 2, 2, 3, 4, 5}));
  g_queue_clear(&q);
  EXPECT_EQ(items(&q), Items{});
  g_queue_unlink(&q, nullptr);
  EXPECT_EQ(q.length, 0u);

  EXPECT_TRUE(g_queue_is_empty(nullptr));
  EXPECT_EQ(g_queue_index(nullptr, P(1)), -1);
  EXPECT_EQ(g_queue_link_index(nullptr, nullptr), -1);
  EXPECT_EQ(g_queue_pop_head(nullptr), nullptr);
  EXPECT_EQ(g_queue_copy(nullptr), nullptr);
  g_queue_push_tail(nullptr, P(1));
  g_queue_insert_sorted(nullptr, P(1), queue_order, nullptr);
}

TEST(Queue, SortIsStable) {
  std::vector<Keyed> input = keyed_input(100);
  GQueue q = G_QUEUE_INIT;
  for (auto &e : input) g_queue_push_tail(&q, &e);
  int calls = 0;
  g_queue_sort(&q, by_key, &calls);
  expect_stably_sorted(keyed_items(q.head), input);
  EXPECT_EQ(q.tail, g_list_last(q.head));
  EXPECT_EQ(q.tail->next, nullptr);
  g_queue_clear(&q);
}

// The n-th link is found from the nearer end: from the tail past half the
// length, else from the head. Cutting the chain on one side shows which way
// the walk went.
TEST(Queue, PeekNthLinkWalksFromTheNearerEnd) {
  GQueue q = G_QUEUE_INIT;
  for (intptr_t v = 0; v < 5; v++) g_queue_push_tail(&q, P(v));
  GList *nodes[5];
  for (guint i = 0; i < 5; i++) nodes[i] = g_list_nth(q.head, i);

  GList *saved = nodes[1]->next;
  nodes[1]->next = nullptr;  // a walk from the head cannot pass node 1
  EXPECT_EQ(g_queue_peek_nth_link(&q, 3), nodes[3]);
  EXPECT_EQ(g_queue_peek_nth_link(&q, 4), nodes[4]);
  nodes[1]->next = saved;

  saved = nodes[3]->prev;
  nodes[3]->prev = nullptr;  // a walk from the tail cannot pass node 3
  EXPECT_EQ(g_queue_peek_nth_link(&q, 2), nodes[2]) << "2 is not past 5/2: from the head";
  nodes[3]->prev = saved;

  EXPECT_EQ(g_queue_peek_nth_link(&q, 5), nullptr);
  g_queue_clear(&q);
}

}  // namespace
