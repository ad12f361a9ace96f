/* Quillar: GLib-named singly linked lists (GSList), doubly linked lists
 * (GList) and double-ended queues (GQueue).
 *
 * The functions behave as the published GLib functions of the same names.
 * Nodes come from malloc and go back with free; there is no slice allocator.
 * Lists never own what `data` points to, except through the *_free_full
 * functions. A list is the pointer to its first node; NULL is the empty list.
 *
 * Allocation failure: a function that would have to allocate a node returns
 * the list unchanged (or does nothing) when malloc fails. */
#ifndef QUILLAR_GLIST_H
#define QUILLAR_GLIST_H

#include "gtypes.h"

QUILLAR_BEGIN_DECLS

typedef struct GSList GSList;
struct GSList {
  gpointer data;
  GSList *next;
};

typedef struct GList GList;
struct GList {
  gpointer data;
  GList *next;
  GList *prev;
};

typedef struct GQueue {
  GList *head;
  GList *tail;
  guint32 length; /* number of nodes between head and tail */
} GQueue;

/* --- GSList ------------------------------------------------------------ */

/* Appends `data` at the end (walks the list). Returns the new head. */
QUILLAR_API GSList *g_slist_append(GSList *list, gpointer data);
/* Number of nodes (walks the list). */
QUILLAR_API guint g_slist_length(GSList *list);
/* Data of the n-th node, or NULL past the end. */
QUILLAR_API gpointer g_slist_nth_data(GSList *list, guint n);
/* Removes and frees the first node whose data is `data`. Returns the new head. */
QUILLAR_API GSList *g_slist_remove(GSList *list, gconstpointer data);
/* Unlinks `link` and frees it; the link is freed even when it is not in the
 * list. Returns the new head. */
QUILLAR_API GSList *g_slist_delete_link(GSList *list, GSList *link);
/* Calls func(data, user_data) on every element, head first. */
QUILLAR_API void g_slist_foreach(GSList *list, GFunc func, gpointer user_data);
/* Frees every node (not the elements). */
QUILLAR_API void g_slist_free(GSList *list);

/* --- GQueue ------------------------------------------------------------ */

/* Appends `data` at the tail. A NULL queue does nothing. */
QUILLAR_API void g_queue_push_tail(GQueue *queue, gpointer data);

QUILLAR_END_DECLS

#endif
