// SPDX-License-Identifier: BSD-2-Clause
// Doubly linked lists.
#include <cstddef>
#include <cstdlib>

#include "containers/list_internal.h"

namespace quillar {

GList *list_node(void *data) {
  auto *node = static_cast<GList *>(calloc(1, sizeof(GList)));
  if (node) node->data = data;
  return node;
}

}  // namespace quillar

namespace {

using quillar::list_node;

// Links `node` in front of `sibling`; returns the list's (possibly new) head.
GList *link_before(GList *list, GList *sibling, GList *node) {
  node->next = sibling;
  node->prev = sibling->prev;
  sibling->prev = node;
  if (node->prev) {
    node->prev->next = node;
    return list;
  }
  return node;
}

GList *link_at_end(GList *list, GList *node) {
  if (!list) return node;
  GList *last = g_list_last(list);
  last->next = node;
  node->prev = last;
  return list;
}

// Inserts before the first element for which compare(data, existing) <= 0.
template <typename Compare>
GList *insert_sorted(GList *list, gpointer data, Compare compare) {
  GList *at = list;
  GList *last = nullptr;
  for (; at && compare(data, at->data) > 0; at = at->next) last = at;
  GList *node = list_node(data);
  if (!node) return list;
  if (at) return link_before(list, at, node);
  if (!last) return node;
  last->next = node;
  node->prev = last;
  return list;
}

template <typename Compare>
GList *sort(GList *list, Compare compare) {
  return quillar::merge_sort(list, compare);
}

}  // namespace

extern "C" {

GList *g_list_alloc(void) { return list_node(nullptr); }

void g_list_free(GList *list) {
  g_slice_free_chain_with_offset(sizeof(GList), list, offsetof(GList, next));
}

void g_list_free_1(GList *list) { free(list); }

void g_list_free_full(GList *list, GDestroyNotify free_func) {
  if (free_func) {
    for (GList *l = list; l; l = l->next) free_func(l->data);
  }
  g_list_free(list);
}

GList *g_list_append(GList *list, gpointer data) {
  GList *node = list_node(data);
  return node ? link_at_end(list, node) : list;
}

GList *g_list_prepend(GList *list, gpointer data) {
  GList *node = list_node(data);
  if (!node) return list;
  if (!list) return node;
  link_before(list, list, node);
  return node;
}

GList *g_list_insert(GList *list, gpointer data, gint position) {
  if (position < 0) return g_list_append(list, data);
  if (position == 0) return g_list_prepend(list, data);
  GList *at = g_list_nth(list, static_cast<guint>(position));
  if (!at) return g_list_append(list, data);
  GList *node = list_node(data);
  return node ? link_before(list, at, node) : list;
}

GList *g_list_insert_before(GList *list, GList *sibling, gpointer data) {
  GList *node = list_node(data);
  if (!node) return list;
  if (!list) return node;
  if (!sibling) return link_at_end(list, node);
  return link_before(list, sibling, node);
}

GList *g_list_insert_sorted(GList *list, gpointer data, GCompareFunc func) {
  if (!func) return list;
  return insert_sorted(list, data, quillar::PlainCompare{func});
}

GList *g_list_insert_sorted_with_data(GList *list, gpointer data, GCompareDataFunc func,
                                      gpointer user_data) {
  if (!func) return list;
  return insert_sorted(list, data, quillar::DataCompare{func, user_data});
}

GList *g_list_concat(GList *list1, GList *list2) {
  if (!list2) return list1;
  GList *last = g_list_last(list1);
  list2->prev = last;
  if (!last) return list2;
  last->next = list2;
  return list1;
}

GList *g_list_remove_link(GList *list, GList *link) {
  if (!link) return list;
  // Unlink by the link's own pointers; neighbours that do not point back at
  // it are left alone rather than corrupted further.
  if (link->prev && link->prev->next == link) link->prev->next = link->next;
  if (link->next && link->next->prev == link) link->next->prev = link->prev;
  if (link == list) list = list->next;
  link->next = nullptr;
  link->prev = nullptr;
  return list;
}

GList *g_list_delete_link(GList *list, GList *link) {
  list = g_list_remove_link(list, link);
  free(link);
  return list;
}

GList *g_list_remove(GList *list, gconstpointer data) {
  return g_list_delete_link(list, g_list_find(list, data));
}

GList *g_list_remove_all(GList *list, gconstpointer data) {
  GList *l = list;
  while (l) {
    GList *next = l->next;
    if (l->data == data) list = g_list_delete_link(list, l);
    l = next;
  }
  return list;
}

GList *g_list_copy(GList *list) {
  GList *copy = nullptr;
  GList *last = nullptr;
  for (; list; list = list->next) {
    GList *node = list_node(list->data);
    if (!node) {
      g_list_free(copy);
      return nullptr;
    }
    node->prev = last;
    if (last)
      last->next = node;
    else
      copy = node;
    last = node;
  }
  return copy;
}

GList *g_list_reverse(GList *list) {
  GList *last = nullptr;
  while (list) {
    last = list;
    list = last->next;
    last->next = last->prev;
    last->prev = list;
  }
  return last;
}

GList *g_list_nth(GList *list, guint n) {
  while (list && n-- > 0) list = list->next;
  return list;
}

GList *g_list_nth_prev(GList *list, guint n) {
  while (list && n-- > 0) list = list->prev;
  return list;
}

gpointer g_list_nth_data(GList *list, guint n) {
  list = g_list_nth(list, n);
  return list ? list->data : nullptr;
}

GList *g_list_find(GList *list, gconstpointer data) {
  while (list && list->data != data) list = list->next;
  return list;
}

GList *g_list_find_custom(GList *list, gconstpointer data, GCompareFunc func) {
  if (!func) return nullptr;
  while (list && func(list->data, data) != 0) list = list->next;
  return list;
}

gint g_list_position(GList *list, GList *link) {
  for (gint i = 0; list; list = list->next, i++)
    if (list == link) return i;
  return -1;
}

gint g_list_index(GList *list, gconstpointer data) {
  for (gint i = 0; list; list = list->next, i++)
    if (list->data == data) return i;
  return -1;
}

GList *g_list_first(GList *list) {
  if (list)
    while (list->prev) list = list->prev;
  return list;
}

GList *g_list_last(GList *list) {
  if (list)
    while (list->next) list = list->next;
  return list;
}

guint g_list_length(GList *list) {
  guint n = 0;
  for (; list; list = list->next) n++;
  return n;
}

void g_list_foreach(GList *list, GFunc func, gpointer user_data) {
  if (!func) return;
  while (list) {
    GList *next = list->next;  // func may free the current node
    func(list->data, user_data);
    list = next;
  }
}

GList *g_list_sort(GList *list, GCompareFunc compare_func) {
  if (!compare_func) return list;
  return sort(list, quillar::PlainCompare{compare_func});
}

GList *g_list_sort_with_data(GList *list, GCompareDataFunc compare_func, gpointer user_data) {
  if (!compare_func) return list;
  return sort(list, quillar::DataCompare{compare_func, user_data});
}

void g_list_push_allocator(gpointer allocator) { (void)allocator; }

void g_list_pop_allocator(void) {}

}  // extern "C"
