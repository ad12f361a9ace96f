// Singly linked lists.
#include <cstdlib>

#include "containers/list_internal.h"

namespace quillar {

bool slist_append(GSList **list, void *data) {
  auto *node = static_cast<GSList *>(malloc(sizeof(GSList)));
  if (!node) return false;
  node->data = data;
  node->next = nullptr;
  if (!*list) {
    *list = node;
  } else {
    GSList *last = *list;
    while (last->next) last = last->next;
    last->next = node;
  }
  return true;
}

}  // namespace quillar

extern "C" {

GSList *g_slist_append(GSList *list, gpointer data) {
  quillar::slist_append(&list, data);
  return list;
}

guint g_slist_length(GSList *list) {
  guint n = 0;
  for (; list; list = list->next) n++;
  return n;
}

gpointer g_slist_nth_data(GSList *list, guint n) {
  while (list && n-- > 0) list = list->next;
  return list ? list->data : nullptr;
}

GSList *g_slist_remove(GSList *list, gconstpointer data) {
  GSList **link = &list;
  while (*link) {
    if ((*link)->data == data) {
      GSList *found = *link;
      *link = found->next;
      free(found);
      break;
    }
    link = &(*link)->next;
  }
  return list;
}

GSList *g_slist_delete_link(GSList *list, GSList *link) {
  for (GSList **p = &list; *p; p = &(*p)->next) {
    if (*p == link) {
      *p = link->next;
      break;
    }
  }
  free(link);
  return list;
}

void g_slist_foreach(GSList *list, GFunc func, gpointer user_data) {
  if (!func) return;
  while (list) {
    GSList *next = list->next;  // func may free the current node's data
    func(list->data, user_data);
    list = next;
  }
}

void g_slist_free(GSList *list) {
  while (list) {
    GSList *next = list->next;
    free(list);
    list = next;
  }
}

}  // extern "C"
