// SPDX-License-Identifier: BSD-2-Clause
// Library-internal list helpers: allocation-failure-aware append, and the
// merge sort and sorted insertion shared by GSList, GList and GQueue.
#pragma once

#include "quillar/glist.h"

namespace quillar {

// Appends `data` to *list. Returns false (list unchanged) when the node
// cannot be allocated, so that a caller handing over ownership through the
// append can release what it meant to hand over.
bool slist_append(GSList **list, void *data);

// Appends `data` at the end of *list, looking for it from *last (a node of
// the list, normally its last) or from the head when *last is NULL; *last
// then holds the new node.
// Returns false (list and *last unchanged) when the node cannot be allocated.
bool slist_append_after(GSList **list, GSList **last, void *data);

// A new zero-filled GList node holding `data`; NULL if out of memory.
GList *list_node(void *data);

template <typename Node>
inline constexpr bool kDoublyLinked = requires(Node *n) { n->prev; };

// Merges two sorted runs. On a tie the element of `a` (the earlier run) is
// taken first, which makes the sort stable. For GList each taken node's prev
// points at the node taken before it.
template <typename Node, typename Compare>
Node *merge_runs(Node *a, Node *b, Compare &compare) {
  Node *first = nullptr;
  Node **link = &first;
  Node *last = nullptr;
  while (a && b) {
    Node **from = compare(a->data, b->data) > 0 ? &b : &a;
    Node *taken = *from;
    *from = taken->next;
    *link = taken;
    link = &taken->next;
    if constexpr (kDoublyLinked<Node>) taken->prev = last;
    last = taken;
  }
  Node *rest = a ? a : b;
  *link = rest;
  if constexpr (kDoublyLinked<Node>) {
    if (rest) rest->prev = last;
  }
  return first;
}

// Recursive merge sort; the first half gets floor(n/2) nodes. The recursion
// depth is log2(n), the merge is a loop.
template <typename Node, typename Compare>
Node *merge_sort(Node *list, Compare &compare) {
  if (!list || !list->next) return list;
  Node *cut = list;
  Node *fast = list->next;
  while ((fast = fast->next) != nullptr) {
    if ((fast = fast->next) == nullptr) break;
    cut = cut->next;
  }
  Node *second = cut->next;
  cut->next = nullptr;
  Node *a = merge_sort(list, compare);
  Node *b = merge_sort(second, compare);
  return merge_runs(a, b, compare);
}

// Adapts a two-argument comparison to the three-argument form.
struct PlainCompare {
  GCompareFunc func;
  gint operator()(gconstpointer a, gconstpointer b) const { return func(a, b); }
};

struct DataCompare {
  GCompareDataFunc func;
  gpointer user_data;
  gint operator()(gconstpointer a, gconstpointer b) const { return func(a, b, user_data); }
};

}  // namespace quillar
