/* Quillar: GLib-named growable arrays (GArray), pointer arrays (GPtrArray)
 * and string and memory helpers. All memory comes from malloc and goes back
 * with free. */
#ifndef QUILLAR_GARRAY_H
#define QUILLAR_GARRAY_H

#include "gtypes.h"

QUILLAR_BEGIN_DECLS

typedef struct GArray {
  guint8 *data;            /* element storage; NULL until the first growth.
                              Element i is at data + i * element_size. */
  guint32 len;             /* elements in use */
  guint32 allocated_bytes; /* size of the storage behind data */
  guint32 element_size;    /* bytes per element, never 0 */
  unsigned int terminator : 1;  /* keep one zeroed element after the last */
  unsigned int clear_new : 1;  /* as given to the constructor */
} GArray;

typedef struct GPtrArray {
  gpointer *items;             /* NULL while empty */
  guint32 len;
  GDestroyNotify element_free; /* called on each element by
                                  g_ptr_array_free(array, 1); NULL unless set */
} GPtrArray;

/* Arrays whose storage would pass 2^30 bytes are refused: the growth fails,
 * the array stays as it was. */
#define QUILLAR_GARRAY_MAX_BYTES (1u << 30)

/* A new empty array (NULL if element_size is 0 or out of memory). A
 * zero-terminated array, or one with a reserve, gets storage at once; storage
 * grows in powers of two from 16 bytes and every byte past the elements in
 * use is zero until written. */
QUILLAR_API GArray *g_array_sized_new(gboolean zero_terminated, gboolean clear,
                                      guint element_size, guint reserve_count);
QUILLAR_API GArray *g_array_new(gboolean zero_terminated, gboolean clear, guint element_size);
/* Copies n elements from `values` behind the last one. `array` must not be
 * NULL. When the storage cannot grow (out of memory or past the limit)
 * nothing is copied and the array is unchanged; the result is `array` either
 * way (compare len to tell). */
QUILLAR_API GArray *g_array_append_vals(GArray *array, gconstpointer values, guint n);
/* Removes element `index`, moving the later ones down. NULL (array
 * unchanged) when array is NULL or index >= len. */
QUILLAR_API GArray *g_array_remove_index(GArray *array, guint index);
/* Frees the array record. With free_data the storage is freed too and NULL
 * returned; otherwise the storage is returned and belongs to the caller. */
QUILLAR_API guint8 *g_array_free(GArray *array, gboolean free_data);

/* A new empty pointer array (reserve_count is ignored); NULL if out of
 * memory. */
QUILLAR_API GPtrArray *g_ptr_array_sized_new(guint reserve_count);
QUILLAR_API GPtrArray *g_ptr_array_new(void);
/* Calls func(items[i], user_data) for each element; NULL does nothing. */
QUILLAR_API void g_ptr_array_foreach(GPtrArray *array, GFunc func, gpointer user_data);
/* Frees the record. With free_items, element_free (if set) runs on every
 * element, the item storage is freed and NULL returned; otherwise the item
 * storage is returned to the caller. */
QUILLAR_API gpointer *g_ptr_array_free(GPtrArray *array, gboolean free_items);

/* A new NUL-terminated copy of at most n bytes of text (stopping at a NUL);
 * text is never read past its first n bytes. NULL for NULL or out of memory. */
QUILLAR_API gchar *g_strndup(const gchar *text, gsize n);
/* g_strndup(text, strlen(text)); NULL for NULL. */
QUILLAR_API gchar *g_strdup(const gchar *text);
/* A copy of `size` bytes (size 0 gives malloc(0)'s answer: non-NULL on
 * glibc). NULL for a NULL source or out of memory. */
QUILLAR_API gpointer g_memdup(gconstpointer source, guint size);
/* element_size * count zeroed bytes; NULL if either is 0 or out of memory. */
QUILLAR_API gpointer _g_new0(gsize element_size, gsize count);
/* realloc(memory, a * b). */
QUILLAR_API gpointer _g_try_renew(gpointer memory, gsize a, gsize b);
/* 1 when text starts with prefix (an empty prefix always matches). */
QUILLAR_API gboolean g_str_has_prefix(const gchar *text, const gchar *prefix);

QUILLAR_END_DECLS

#endif
