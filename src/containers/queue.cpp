// Double-ended queues over doubly linked lists.
#include <cstdlib>

#include "quillar/glist.h"

extern "C" {

void g_queue_push_tail(GQueue *queue, gpointer data) {
  if (!queue) return;
  auto *node = static_cast<GList *>(calloc(1, sizeof(GList)));
  if (!node) return;
  node->data = data;
  node->prev = queue->tail;
  if (queue->tail)
    queue->tail->next = node;
  else
    queue->head = node;
  queue->tail = node;
  queue->length++;
}

}  // extern "C"
