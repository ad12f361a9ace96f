// SPDX-License-Identifier: BSD-2-Clause
// Singly linked lists.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "containers/list_internal.h"

namespace {

// Both of a node's fields are set here, so plain malloc serves (a frame's
// node is made once per frame).
GSList *new_node(gpointer data, GSList *next) {
  auto *node = static_cast<GSList *>(malloc(sizeof(GSList)));
  if (!node) return nullptr;
  node->data = data;
  node->next = next;
  return node;
}

// Inserts before the first element for which compare(data, existing) <= 0.
template <typename Compare>
GSList *insert_sorted(GSList *list, gpointer data, Compare compare) {
  GSList **link = &list;
  while (*link && compare(data, (*link)->data) > 0) link = &(*link)->next;
  if (GSList *node = new_node(data, *link)) *link = node;
  return list;
}

template <typename Compare>
GSList *sort(GSList *list, Compare compare) {
  return quillar::merge_sort(list, compare);
}

}  // namespace

namespace quillar {

bool slist_append(GSList **list, void *data) {
  GSList *node = new_node(data, nullptr);
  if (!node) return false;
  GSList **link = list;
  while (*link) link = &(*link)->next;
  *link = node;
  return true;
}

bool slist_append_after(GSList **list, GSList **last, void *data) {
  GSList *node = new_node(data, nullptr);
  if (!node) return false;
  GSList *end = *last ? *last : *list;
  if (end) {
    while (end->next) end = end->next;  // nothing to walk when *last is the end
  }
  (end ? end->next : *list) = node;
  *last = node;
  return true;
}

}  // namespace quillar

extern "C" {

void g_slice_free_chain_with_offset(gsize block_size, gpointer mem_chain, gsize next_offset) {
  (void)block_size;
  auto *block = static_cast<unsigned char *>(mem_chain);
  while (block) {
    void *next = nullptr;
    memcpy(&next, block + next_offset, sizeof next);  // read before the block goes
    free(block);
    block = static_cast<unsigned char *>(next);
  }
}

GSList *g_slist_alloc(void) { return new_node(nullptr, nullptr); }

void g_slist_free(GSList *list) {
  g_slice_free_chain_with_offset(sizeof(GSList), list, offsetof(GSList, next));
}

void g_slist_free_1(GSList *list) { free(list); }

void g_slist_free_full(GSList *list, GDestroyNotify free_func) {
  if (free_func) {
    for (GSList *l = list; l; l = l->next) free_func(l->data);
  }
  g_slist_free(list);
}

GSList *g_slist_append(GSList *list, gpointer data) {
  quillar::slist_append(&list, data);
  return list;
}

GSList *g_slist_prepend(GSList *list, gpointer data) {
  GSList *node = new_node(data, list);
  return node ? node : list;
}

GSList *g_slist_insert(GSList *list, gpointer data, gint position) {
  if (position < 0) return g_slist_append(list, data);
  GSList **link = &list;
  while (position-- > 0 && *link) link = &(*link)->next;
  if (GSList *node = new_node(data, *link)) *link = node;
  return list;
}

GSList *g_slist_insert_before(GSList *list, GSList *sibling, gpointer data) {
  GSList **link = &list;
  while (*link && *link != sibling) link = &(*link)->next;
  if (GSList *node = new_node(data, *link)) *link = node;
  return list;
}

GSList *g_slist_insert_sorted(GSList *list, gpointer data, GCompareFunc func) {
  if (!func) return list;
  return insert_sorted(list, data, quillar::PlainCompare{func});
}

GSList *g_slist_insert_sorted_with_data(GSList *list, gpointer data, GCompareDataFunc func,
                                        gpointer user_data) {
  if (!func) return list;
  return insert_sorted(list, data, quillar::DataCompare{func, user_data});
}

GSList *g_slist_concat(GSList *list1, GSList *list2) {
  if (!list2) return list1;
  if (!list1) return list2;
  g_slist_last(list1)->next = list2;
  return list1;
}

GSList *g_slist_remove(GSList *list, gconstpointer data) {
  for (GSList **link = &list; *link; link = &(*link)->next) {
    if ((*link)->data == data) {
      GSList *found = *link;
      *link = found->next;
      free(found);
      break;
    }
  }
  return list;
}

GSList *g_slist_remove_all(GSList *list, gconstpointer data) {
  GSList **link = &list;
  while (*link) {
    if ((*link)->data == data) {
      GSList *found = *link;
      *link = found->next;
      free(found);
    } else {
      link = &(*link)->next;
    }
  }
  return list;
}

GSList *g_slist_remove_link(GSList *list, GSList *link) {
  for (GSList **p = &list; *p; p = &(*p)->next) {
    if (*p == link) {
      *p = link->next;
      link->next = nullptr;
      break;
    }
  }
  return list;
}

GSList *g_slist_delete_link(GSList *list, GSList *link) {
  list = g_slist_remove_link(list, link);
  free(link);
  return list;
}

GSList *g_slist_copy(GSList *list) {
  GSList *copy = nullptr;
  GSList **link = &copy;
  for (; list; list = list->next) {
    *link = new_node(list->data, nullptr);
    if (!*link) {
      g_slist_free(copy);
      return nullptr;
    }
    link = &(*link)->next;
  }
  return copy;
}

GSList *g_slist_reverse(GSList *list) {
  GSList *reversed = nullptr;
  while (list) {
    GSList *next = list->next;
    list->next = reversed;
    reversed = list;
    list = next;
  }
  return reversed;
}

GSList *g_slist_nth(GSList *list, guint n) {
  while (list && n-- > 0) list = list->next;
  return list;
}

gpointer g_slist_nth_data(GSList *list, guint n) {
  list = g_slist_nth(list, n);
  return list ? list->data : nullptr;
}

GSList *g_slist_find(GSList *list, gconstpointer data) {
  while (list && list->data != data) list = list->next;
  return list;
}

GSList *g_slist_find_custom(GSList *list, gconstpointer data, GCompareFunc func) {
  if (!func) return nullptr;
  while (list && func(list->data, data) != 0) list = list->next;
  return list;
}

gint g_slist_position(GSList *list, GSList *link) {
  for (gint i = 0; list; list = list->next, i++)
    if (list == link) return i;
  return -1;
}

gint g_slist_index(GSList *list, gconstpointer data) {
  for (gint i = 0; list; list = list->next, i++)
    if (list->data == data) return i;
  return -1;
}

GSList *g_slist_last(GSList *list) {
  if (list)
    while (list->next) list = list->next;
  return list;
}

guint g_slist_length(GSList *list) {
  guint n = 0;
  for (; list; list = list->next) n++;
  return n;
}

void g_slist_foreach(GSList *list, GFunc func, gpointer user_data) {
  if (!func) return;
  while (list) {
    GSList *next = list->next;  // func may free the current node
    func(list->data, user_data);
    list = next;
  }
}

GSList *g_slist_sort(GSList *list, GCompareFunc compare_func) {
  if (!compare_func) return list;
  return sort(list, quillar::PlainCompare{compare_func});
}

GSList *g_slist_sort_with_data(GSList *list, GCompareDataFunc compare_func, gpointer user_data) {
  if (!compare_func) return list;
  return sort(list, quillar::DataCompare{compare_func, user_data});
}

void g_slist_push_allocator(gpointer allocator) { (void)allocator; }

void g_slist_pop_allocator(void) {}

}  // extern "C"
