// SPDX-License-Identifier: BSD-2-Clause
// Double-ended queues over doubly linked lists.
#include <cstdlib>

#include "containers/list_internal.h"

namespace {

using quillar::list_node;

bool is_unlinked(const GList *link) { return link && !link->next && !link->prev; }

void link_head(GQueue *queue, GList *link) {
  link->next = queue->head;
  if (queue->head)
    queue->head->prev = link;
  else
    queue->tail = link;
  queue->head = link;
  queue->length++;
}

void link_tail(GQueue *queue, GList *link) {
  link->prev = queue->tail;
  if (queue->tail)
    queue->tail->next = link;
  else
    queue->head = link;
  queue->tail = link;
  queue->length++;
}

void link_before(GQueue *queue, GList *sibling, GList *link) {
  link->next = sibling;
  link->prev = sibling->prev;
  if (sibling->prev)
    sibling->prev->next = link;
  else
    queue->head = link;
  sibling->prev = link;
  queue->length++;
}

}  // namespace

extern "C" {

GQueue *g_queue_new(void) { return static_cast<GQueue *>(calloc(1, sizeof(GQueue))); }

void g_queue_free(GQueue *queue) {
  if (!queue) return;
  g_list_free(queue->head);
  free(queue);
}

void g_queue_init(GQueue *queue) {
  if (!queue) return;
  queue->head = nullptr;
  queue->tail = nullptr;
  queue->length = 0;
}

void g_queue_clear(GQueue *queue) {
  if (!queue) return;
  g_list_free(queue->head);
  g_queue_init(queue);
}

gboolean g_queue_is_empty(GQueue *queue) { return !queue || !queue->head; }

guint g_queue_get_length(GQueue *queue) { return queue ? queue->length : 0; }

void g_queue_reverse(GQueue *queue) {
  if (!queue) return;
  queue->tail = queue->head;
  queue->head = g_list_reverse(queue->head);
}

GQueue *g_queue_copy(GQueue *queue) {
  if (!queue) return nullptr;
  GQueue *copy = g_queue_new();
  if (!copy) return nullptr;
  for (GList *l = queue->head; l; l = l->next) {
    GList *node = list_node(l->data);
    if (!node) {
      g_queue_free(copy);
      return nullptr;
    }
    link_tail(copy, node);
  }
  return copy;
}

void g_queue_foreach(GQueue *queue, GFunc func, gpointer user_data) {
  if (queue) g_list_foreach(queue->head, func, user_data);
}

GList *g_queue_find(GQueue *queue, gconstpointer data) {
  return queue ? g_list_find(queue->head, data) : nullptr;
}

GList *g_queue_find_custom(GQueue *queue, gconstpointer data, GCompareFunc func) {
  return queue ? g_list_find_custom(queue->head, data, func) : nullptr;
}

void g_queue_sort(GQueue *queue, GCompareDataFunc compare_func, gpointer user_data) {
  if (!queue || !compare_func) return;
  queue->head = g_list_sort_with_data(queue->head, compare_func, user_data);
  queue->tail = g_list_last(queue->head);
}

void g_queue_push_head(GQueue *queue, gpointer data) {
  if (!queue) return;
  if (GList *node = list_node(data)) link_head(queue, node);
}

void g_queue_push_tail(GQueue *queue, gpointer data) {
  if (!queue) return;
  if (GList *node = list_node(data)) link_tail(queue, node);
}

void g_queue_push_nth(GQueue *queue, gpointer data, gint n) {
  if (!queue) return;
  if (n < 0 || static_cast<guint>(n) >= queue->length) {
    g_queue_push_tail(queue, data);
    return;
  }
  g_queue_insert_before(queue, g_queue_peek_nth_link(queue, static_cast<guint>(n)), data);
}

gpointer g_queue_pop_head(GQueue *queue) {
  GList *link = g_queue_pop_head_link(queue);
  if (!link) return nullptr;
  gpointer data = link->data;
  free(link);
  return data;
}

gpointer g_queue_pop_tail(GQueue *queue) {
  GList *link = g_queue_pop_tail_link(queue);
  if (!link) return nullptr;
  gpointer data = link->data;
  free(link);
  return data;
}

gpointer g_queue_pop_nth(GQueue *queue, guint n) {
  GList *link = g_queue_pop_nth_link(queue, n);
  if (!link) return nullptr;
  gpointer data = link->data;
  free(link);
  return data;
}

gpointer g_queue_peek_head(GQueue *queue) {
  return queue && queue->head ? queue->head->data : nullptr;
}

gpointer g_queue_peek_tail(GQueue *queue) {
  return queue && queue->tail ? queue->tail->data : nullptr;
}

gpointer g_queue_peek_nth(GQueue *queue, guint n) {
  GList *link = g_queue_peek_nth_link(queue, n);
  return link ? link->data : nullptr;
}

gint g_queue_index(GQueue *queue, gconstpointer data) {
  return queue ? g_list_index(queue->head, data) : -1;
}

gboolean g_queue_remove(GQueue *queue, gconstpointer data) {
  GList *link = g_queue_find(queue, data);
  if (!link) return 0;
  g_queue_delete_link(queue, link);
  return 1;
}

guint g_queue_remove_all(GQueue *queue, gconstpointer data) {
  if (!queue) return 0;
  guint removed = 0;
  for (GList *l = queue->head; l;) {
    GList *next = l->next;
    if (l->data == data) {
      g_queue_delete_link(queue, l);
      removed++;
    }
    l = next;
  }
  return removed;
}

void g_queue_insert_before(GQueue *queue, GList *sibling, gpointer data) {
  if (!queue || !sibling) return;
  if (GList *node = list_node(data)) link_before(queue, sibling, node);
}

void g_queue_insert_after(GQueue *queue, GList *sibling, gpointer data) {
  if (!queue || !sibling) return;
  if (sibling == queue->tail)
    g_queue_push_tail(queue, data);
  else
    g_queue_insert_before(queue, sibling->next, data);
}

void g_queue_insert_sorted(GQueue *queue, gpointer data, GCompareDataFunc func,
                           gpointer user_data) {
  if (!queue || !func) return;
  GList *at = queue->head;
  while (at && func(at->data, data, user_data) < 0) at = at->next;
  if (at)
    g_queue_insert_before(queue, at, data);
  else
    g_queue_push_tail(queue, data);
}

void g_queue_push_head_link(GQueue *queue, GList *link) {
  if (queue && is_unlinked(link)) link_head(queue, link);
}

void g_queue_push_tail_link(GQueue *queue, GList *link) {
  if (queue && is_unlinked(link)) link_tail(queue, link);
}

void g_queue_push_nth_link(GQueue *queue, gint n, GList *link) {
  if (!queue || !is_unlinked(link)) return;
  if (n < 0 || static_cast<guint>(n) >= queue->length)
    link_tail(queue, link);
  else
    link_before(queue, g_queue_peek_nth_link(queue, static_cast<guint>(n)), link);
}

GList *g_queue_pop_head_link(GQueue *queue) {
  if (!queue || !queue->head) return nullptr;
  GList *link = queue->head;
  g_queue_unlink(queue, link);
  return link;
}

GList *g_queue_pop_tail_link(GQueue *queue) {
  if (!queue || !queue->tail) return nullptr;
  GList *link = queue->tail;
  g_queue_unlink(queue, link);
  return link;
}

GList *g_queue_pop_nth_link(GQueue *queue, guint n) {
  GList *link = g_queue_peek_nth_link(queue, n);
  if (link) g_queue_unlink(queue, link);
  return link;
}

GList *g_queue_peek_head_link(GQueue *queue) { return queue ? queue->head : nullptr; }

GList *g_queue_peek_tail_link(GQueue *queue) { return queue ? queue->tail : nullptr; }

GList *g_queue_peek_nth_link(GQueue *queue, guint n) {
  if (!queue || n >= queue->length) return nullptr;
  GList *link;
  if (n > queue->length / 2) {
    link = queue->tail;
    for (guint steps = queue->length - n - 1; steps > 0 && link; steps--) link = link->prev;
  } else {
    link = queue->head;
    for (guint steps = n; steps > 0 && link; steps--) link = link->next;
  }
  return link;
}

gint g_queue_link_index(GQueue *queue, GList *link) {
  return queue ? g_list_position(queue->head, link) : -1;
}

void g_queue_unlink(GQueue *queue, GList *link) {
  // An empty queue holds no link; leaving it alone keeps length from
  // wrapping.
  if (!queue || !link || !queue->head) return;
  if (link == queue->tail) queue->tail = queue->tail->prev;
  queue->head = g_list_remove_link(queue->head, link);
  queue->length--;
}

void g_queue_delete_link(GQueue *queue, GList *link) {
  if (!queue) return;
  g_queue_unlink(queue, link);
  g_list_free(link);  // one node by now
}

}  // extern "C"
