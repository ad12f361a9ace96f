/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: GLib-named singly linked lists (GSList), doubly linked lists
 * (GList) and double-ended queues (GQueue).
 *
 * The functions behave as the published GLib functions of the same names,
 * with the differences noted at each function. A list is the pointer to its
 * first node; NULL is the empty list, and every function accepts it. Nodes
 * and queues come from malloc and go back with free; there is no slice
 * allocator and no node cache, so a node may also be released with free().
 * Lists never own what `data` points to, except through the *_free_full
 * functions.
 *
 * Out of memory: a function that has to allocate a node and cannot leaves
 * the list or queue exactly as it was (it returns the list it was given, or
 * does nothing); a copy returns NULL and a constructor returns NULL.
 *
 * Caller errors that GLib reports with a warning (a NULL queue, a NULL
 * compare or callback function, pushing a link that is still linked) are
 * silently ignored here: the function does nothing and returns NULL, 0, -1
 * or the unchanged list.
 *
 * length, last, nth, index, position and append walk the list from the node
 * given (linear time). Nothing here is thread-safe. */
#ifndef QUILLAR_GLIST_H
#define QUILLAR_GLIST_H

#include "gtypes.h"

QUILLAR_BEGIN_DECLS

typedef struct GSList GSList;
struct GSList {
  gpointer data;
  GSList *next; /* NULL in the last node */
};

typedef struct GList GList;
struct GList {
  gpointer data;
  GList *next; /* NULL in the last node */
  GList *prev; /* NULL in the first node */
};

typedef struct GQueue {
  GList *head;
  GList *tail;
  guint32 length; /* number of nodes between head and tail */
} GQueue;

/* A static initialiser for an empty queue. */
#define G_QUEUE_INIT {NULL, NULL, 0}

/* Frees a chain of malloc'ed blocks: each block's successor pointer is read
 * at byte offset `next_offset` inside it before the block is freed.
 * `block_size` is ignored; a NULL chain does nothing. */
QUILLAR_API void g_slice_free_chain_with_offset(gsize block_size, gpointer mem_chain,
                                                gsize next_offset);

/* --- GSList ------------------------------------------------------------ */

/* A new unlinked node (zero-filled here: data NULL, next NULL); NULL if out
 * of memory. Free it with g_slist_free_1. */
QUILLAR_API GSList *g_slist_alloc(void);
/* Frees every node from `list` on; not the elements. */
QUILLAR_API void g_slist_free(GSList *list);
/* Frees one node (not its element, and not the rest of its list). */
QUILLAR_API void g_slist_free_1(GSList *list);
/* Calls free_func on every element (a NULL free_func skips that step), then
 * frees every node. */
QUILLAR_API void g_slist_free_full(GSList *list, GDestroyNotify free_func);

/* The functions below that add an element return the new first node. */
QUILLAR_API GSList *g_slist_append(GSList *list, gpointer data);
QUILLAR_API GSList *g_slist_prepend(GSList *list, gpointer data);
/* Inserts at `position` (0 = first); a negative position or one past the
 * end appends. */
QUILLAR_API GSList *g_slist_insert(GSList *list, gpointer data, gint position);
/* Inserts before `sibling`; a NULL sibling, or one not in the list,
 * appends. */
QUILLAR_API GSList *g_slist_insert_before(GSList *list, GSList *sibling, gpointer data);
/* Calls func(data, existing) from the head and inserts before the first
 * element for which the result is <= 0 (so before elements comparing equal),
 * else appends. A NULL func returns the list unchanged. */
QUILLAR_API GSList *g_slist_insert_sorted(GSList *list, gpointer data, GCompareFunc func);
QUILLAR_API GSList *g_slist_insert_sorted_with_data(GSList *list, gpointer data,
                                                    GCompareDataFunc func, gpointer user_data);
/* Links list2 behind the last node of list1 (no copy); returns the head. */
QUILLAR_API GSList *g_slist_concat(GSList *list1, GSList *list2);

/* Removes and frees the first node whose data is `data`. */
QUILLAR_API GSList *g_slist_remove(GSList *list, gconstpointer data);
/* Removes and frees every node whose data is `data`. */
QUILLAR_API GSList *g_slist_remove_all(GSList *list, gconstpointer data);
/* Unlinks `link` (its next becomes NULL) without freeing it; the caller
 * owns it. A link not in the list is left alone. */
QUILLAR_API GSList *g_slist_remove_link(GSList *list, GSList *link);
/* Unlinks `link` and frees it. The link is freed even when it is not in the
 * list. */
QUILLAR_API GSList *g_slist_delete_link(GSList *list, GSList *link);
/* A new list with the same elements (not copied themselves); NULL if out of
 * memory (nothing is leaked). */
QUILLAR_API GSList *g_slist_copy(GSList *list);
/* Reverses the list in place; returns the new head. */
QUILLAR_API GSList *g_slist_reverse(GSList *list);

/* The n-th node (0 = first) / its data, or NULL past the end. */
QUILLAR_API GSList *g_slist_nth(GSList *list, guint n);
QUILLAR_API gpointer g_slist_nth_data(GSList *list, guint n);
/* The first node whose data is `data`, or NULL. */
QUILLAR_API GSList *g_slist_find(GSList *list, gconstpointer data);
/* The first node for which func(node data, data) returns 0, or NULL. */
QUILLAR_API GSList *g_slist_find_custom(GSList *list, gconstpointer data, GCompareFunc func);
/* Position of `link` / of the first node holding `data`, or -1. */
QUILLAR_API gint g_slist_position(GSList *list, GSList *link);
QUILLAR_API gint g_slist_index(GSList *list, gconstpointer data);
QUILLAR_API GSList *g_slist_last(GSList *list);
QUILLAR_API guint g_slist_length(GSList *list);
/* Calls func(data, user_data) on every element, head first. The next node is
 * read before each call, so func may free the current node. */
QUILLAR_API void g_slist_foreach(GSList *list, GFunc func, gpointer user_data);

/* Stable merge sort: func(a, b) > 0 puts b before a; equal elements keep
 * their order. Returns the new head. A NULL func returns the list. */
QUILLAR_API GSList *g_slist_sort(GSList *list, GCompareFunc compare_func);
QUILLAR_API GSList *g_slist_sort_with_data(GSList *list, GCompareDataFunc compare_func,
                                           gpointer user_data);

/* Kept for source compatibility; they do nothing. */
QUILLAR_API void g_slist_push_allocator(gpointer allocator);
QUILLAR_API void g_slist_pop_allocator(void);

/* --- GList ------------------------------------------------------------- */
/* As the GSList functions above, with these additions: functions that take
 * a node work from that node (g_list_length counts from it onwards,
 * g_list_first walks back); g_list_remove_link and g_list_delete_link unlink
 * by the link's own prev/next pointers without searching the list. */

/* A new zero-filled node; NULL if out of memory. */
QUILLAR_API GList *g_list_alloc(void);
QUILLAR_API void g_list_free(GList *list);
QUILLAR_API void g_list_free_1(GList *list);
QUILLAR_API void g_list_free_full(GList *list, GDestroyNotify free_func);

QUILLAR_API GList *g_list_append(GList *list, gpointer data);
/* Links the new node before `list` (which may be any node); returns the new
 * node. */
QUILLAR_API GList *g_list_prepend(GList *list, gpointer data);
QUILLAR_API GList *g_list_insert(GList *list, gpointer data, gint position);
/* Inserts before `sibling`; a NULL sibling appends. */
QUILLAR_API GList *g_list_insert_before(GList *list, GList *sibling, gpointer data);
QUILLAR_API GList *g_list_insert_sorted(GList *list, gpointer data, GCompareFunc func);
QUILLAR_API GList *g_list_insert_sorted_with_data(GList *list, gpointer data,
                                                  GCompareDataFunc func, gpointer user_data);
QUILLAR_API GList *g_list_concat(GList *list1, GList *list2);

QUILLAR_API GList *g_list_remove(GList *list, gconstpointer data);
QUILLAR_API GList *g_list_remove_all(GList *list, gconstpointer data);
/* Unlinks `link` (its next and prev become NULL) without freeing it. */
QUILLAR_API GList *g_list_remove_link(GList *list, GList *link);
/* Unlinks `link` and frees it. */
QUILLAR_API GList *g_list_delete_link(GList *list, GList *link);
QUILLAR_API GList *g_list_copy(GList *list);
QUILLAR_API GList *g_list_reverse(GList *list);

QUILLAR_API GList *g_list_nth(GList *list, guint n);
/* The node n steps back from `list`, or NULL. */
QUILLAR_API GList *g_list_nth_prev(GList *list, guint n);
QUILLAR_API gpointer g_list_nth_data(GList *list, guint n);
QUILLAR_API GList *g_list_find(GList *list, gconstpointer data);
QUILLAR_API GList *g_list_find_custom(GList *list, gconstpointer data, GCompareFunc func);
QUILLAR_API gint g_list_position(GList *list, GList *link);
QUILLAR_API gint g_list_index(GList *list, gconstpointer data);
QUILLAR_API GList *g_list_first(GList *list);
QUILLAR_API GList *g_list_last(GList *list);
QUILLAR_API guint g_list_length(GList *list);
QUILLAR_API void g_list_foreach(GList *list, GFunc func, gpointer user_data);
QUILLAR_API GList *g_list_sort(GList *list, GCompareFunc compare_func);
QUILLAR_API GList *g_list_sort_with_data(GList *list, GCompareDataFunc compare_func,
                                         gpointer user_data);
QUILLAR_API void g_list_push_allocator(gpointer allocator);
QUILLAR_API void g_list_pop_allocator(void);

/* --- GQueue ------------------------------------------------------------ */
/* Every operation keeps `length` equal to the number of nodes. A NULL queue
 * is ignored everywhere (results NULL, 0, or as noted). Positions are
 * 0-based from the head; g_queue_peek_nth_link and everything that finds a
 * position by it walk from the nearer end. */

/* A new empty queue (free with g_queue_free); NULL if out of memory. */
QUILLAR_API GQueue *g_queue_new(void);
/* Frees the nodes and the queue record; not the elements. */
QUILLAR_API void g_queue_free(GQueue *queue);
/* Makes a caller-provided record an empty queue. */
QUILLAR_API void g_queue_init(GQueue *queue);
/* Frees the nodes and leaves the queue empty. */
QUILLAR_API void g_queue_clear(GQueue *queue);
/* 1 when empty, and for a NULL queue. */
QUILLAR_API gboolean g_queue_is_empty(GQueue *queue);
QUILLAR_API guint g_queue_get_length(GQueue *queue);
QUILLAR_API void g_queue_reverse(GQueue *queue);
/* A new queue holding the same elements; NULL if out of memory. */
QUILLAR_API GQueue *g_queue_copy(GQueue *queue);
QUILLAR_API void g_queue_foreach(GQueue *queue, GFunc func, gpointer user_data);
QUILLAR_API GList *g_queue_find(GQueue *queue, gconstpointer data);
QUILLAR_API GList *g_queue_find_custom(GQueue *queue, gconstpointer data, GCompareFunc func);
/* Stable merge sort of the queue (see g_list_sort). */
QUILLAR_API void g_queue_sort(GQueue *queue, GCompareDataFunc compare_func, gpointer user_data);

QUILLAR_API void g_queue_push_head(GQueue *queue, gpointer data);
QUILLAR_API void g_queue_push_tail(GQueue *queue, gpointer data);
/* Inserts so that the element gets position n; n < 0 or n >= length
 * appends. */
QUILLAR_API void g_queue_push_nth(GQueue *queue, gpointer data, gint n);
/* Remove the element and return its data (NULL when there is none). */
QUILLAR_API gpointer g_queue_pop_head(GQueue *queue);
QUILLAR_API gpointer g_queue_pop_tail(GQueue *queue);
QUILLAR_API gpointer g_queue_pop_nth(GQueue *queue, guint n);
QUILLAR_API gpointer g_queue_peek_head(GQueue *queue);
QUILLAR_API gpointer g_queue_peek_tail(GQueue *queue);
QUILLAR_API gpointer g_queue_peek_nth(GQueue *queue, guint n);
/* Position of the first element holding `data`; -1 if none or NULL queue. */
QUILLAR_API gint g_queue_index(GQueue *queue, gconstpointer data);
/* Removes the first element holding `data`; 1 if one was removed, else 0. */
QUILLAR_API gboolean g_queue_remove(GQueue *queue, gconstpointer data);
/* Removes every element holding `data`; returns how many. */
QUILLAR_API guint g_queue_remove_all(GQueue *queue, gconstpointer data);
/* Inserts before `sibling` (a node of the queue). A NULL sibling does
 * nothing (it does not append). */
QUILLAR_API void g_queue_insert_before(GQueue *queue, GList *sibling, gpointer data);
/* Inserts after `sibling`; after the tail appends. A NULL sibling does
 * nothing. */
QUILLAR_API void g_queue_insert_after(GQueue *queue, GList *sibling, gpointer data);
/* Calls func(existing, data, user_data) from the head and inserts before the
 * first element for which the result is >= 0 (so before equal elements),
 * else at the tail. */
QUILLAR_API void g_queue_insert_sorted(GQueue *queue, gpointer data, GCompareDataFunc func,
                                       gpointer user_data);

/* The *_link functions move nodes instead of elements. A pushed link must be
 * unlinked (next and prev NULL), else nothing happens; the queue takes it
 * over. A popped link is unlinked and belongs to the caller (free it with
 * g_list_free_1). */
QUILLAR_API void g_queue_push_head_link(GQueue *queue, GList *link);
QUILLAR_API void g_queue_push_tail_link(GQueue *queue, GList *link);
QUILLAR_API void g_queue_push_nth_link(GQueue *queue, gint n, GList *link);
QUILLAR_API GList *g_queue_pop_head_link(GQueue *queue);
QUILLAR_API GList *g_queue_pop_tail_link(GQueue *queue);
QUILLAR_API GList *g_queue_pop_nth_link(GQueue *queue, guint n);
QUILLAR_API GList *g_queue_peek_head_link(GQueue *queue);
QUILLAR_API GList *g_queue_peek_tail_link(GQueue *queue);
/* The n-th node, or NULL when n >= length. */
QUILLAR_API GList *g_queue_peek_nth_link(GQueue *queue, guint n);
/* Position of `link`; -1 if it is not in the queue or the queue is NULL. */
QUILLAR_API gint g_queue_link_index(GQueue *queue, GList *link);
/* Unlinks `link`, which must be a node of the queue, without freeing it. */
QUILLAR_API void g_queue_unlink(GQueue *queue, GList *link);
/* Unlinks `link` and frees it (not its element). */
QUILLAR_API void g_queue_delete_link(GQueue *queue, GList *link);

QUILLAR_END_DECLS

#endif
