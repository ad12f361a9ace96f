/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: GLib-named growable arrays (GArray), pointer arrays (GPtrArray)
 * and string and memory helpers.
 *
 * Everything returned here comes from malloc and goes back with free (there
 * is no pooling); the caller owns every string and copy it is given. None of
 * these functions prints anything. Nothing here is thread-safe. */
#ifndef QUILLAR_GARRAY_H
#define QUILLAR_GARRAY_H

#include "gtypes.h"

QUILLAR_BEGIN_DECLS

/* Callers read data and len directly. */
typedef struct GArray {
  gchar *data;             /* element storage; NULL until the first growth.
                              Element i is at data + i * element_size. */
  guint32 len;             /* elements in use */
  guint32 allocated_bytes; /* size of the storage behind data */
  guint32 element_size;    /* bytes per element, never 0 */
  unsigned int terminator : 1; /* keeps one zeroed element after the last */
  unsigned int clear_new : 1;  /* as given to the constructor (storage is
                                  zeroed on growth either way) */
} GArray;

typedef struct GPtrArray {
  gpointer *items;             /* NULL while empty */
  guint32 len;                 /* number of pointers in items */
  GDestroyNotify element_free; /* called on each element by
                                  g_ptr_array_free(array, 1); NULL unless the
                                  caller sets it */
} GPtrArray;

/* Element i of an array of type t, and the same for a pointer array. */
#define g_array_index(a, t, i) (((t *)(void *)(a)->data)[(i)])
#define g_array_append_val(a, v) g_array_append_vals((a), &(v), 1)
#define g_ptr_array_index(a, i) ((a)->items[(i)])

/* The largest storage an array may have. A growth past it fails like an
 * allocation failure: the array stays exactly as it was. */
#define QUILLAR_GARRAY_MAX_BYTES (1u << 30)

/* A new empty array of element_size-byte elements; NULL if element_size is 0,
 * if out of memory, or if the reserve would pass QUILLAR_GARRAY_MAX_BYTES.
 * zero_terminated keeps one zeroed element after the last; clear is
 * recorded. A zero-terminated array, or one with a reserve, gets storage at
 * once. Storage grows in powers of two from 16 bytes, never shrinks, and
 * every byte past the elements in use is zero until written. Free with
 * g_array_free. */
QUILLAR_API GArray *g_array_sized_new(gboolean zero_terminated, gboolean clear,
                                      guint element_size, guint reserve_count);
/* g_array_sized_new with no reserve. */
QUILLAR_API GArray *g_array_new(gboolean zero_terminated, gboolean clear, guint element_size);
/* Copies n elements from `values` behind the last one and rewrites the
 * terminator (n may be 0). `array` must not be NULL (NULL is returned
 * as is). When the storage cannot grow (out of memory or past
 * QUILLAR_GARRAY_MAX_BYTES), or values is NULL with n > 0, nothing is copied
 * and the array is unchanged; the result is `array` either way, so compare
 * len to tell. */
QUILLAR_API GArray *g_array_append_vals(GArray *array, gconstpointer values, guint n);
/* Removes element `index`, moving the later ones down; storage is kept.
 * Returns array, or NULL (array unchanged) when array is NULL or
 * index >= len. */
QUILLAR_API GArray *g_array_remove_index(GArray *array, guint index);
/* Frees the array record. With free_data the storage is freed too and NULL
 * is returned; otherwise the storage (possibly NULL) is returned and belongs
 * to the caller. NULL gives NULL. */
QUILLAR_API gchar *g_array_free(GArray *array, gboolean free_data);

/* A new empty pointer array (reserve_count is ignored: no storage is
 * allocated); NULL if out of memory. */
QUILLAR_API GPtrArray *g_ptr_array_sized_new(guint reserve_count);
QUILLAR_API GPtrArray *g_ptr_array_new(void);
/* Calls func(items[i], user_data) for i = 0, 1, ... while i < len, reading
 * len before each call. A NULL array or func does nothing. */
QUILLAR_API void g_ptr_array_foreach(GPtrArray *array, GFunc func, gpointer user_data);
/* Frees the record. With free_items, element_free (if set) runs on every
 * element, the item storage is freed and NULL returned; otherwise the item
 * storage is returned and belongs to the caller. NULL gives NULL. */
QUILLAR_API gpointer *g_ptr_array_free(GPtrArray *array, gboolean free_items);

/* A new NUL-terminated copy of the first n bytes of text, or of the text up
 * to its NUL if that comes first (the allocation is exactly that length plus
 * one); text is never read past either. NULL for NULL text or out of
 * memory. */
QUILLAR_API gchar *g_strndup(const gchar *text, gsize n);
/* A new copy of a NUL-terminated text; NULL for NULL or out of memory. */
QUILLAR_API gchar *g_strdup(const gchar *text);
/* A new copy of `size` bytes at source; NULL for a NULL source or out of
 * memory. Size 0 gives malloc(0)'s answer (non-NULL on glibc; free it). */
QUILLAR_API gpointer g_memdup(gconstpointer source, guint size);
/* element_size * count zeroed bytes; NULL if either is 0, if the product
 * overflows, or out of memory. */
QUILLAR_API gpointer _g_new0(gsize element_size, gsize count);
/* realloc(memory, a * b): NULL on failure with memory left untouched, a new
 * allocation when memory is NULL. A product that overflows fails the same
 * way. */
QUILLAR_API gpointer _g_try_renew(gpointer memory, gsize a, gsize b);
/* 1 when text starts with prefix (byte comparison; an empty prefix always
 * matches), else 0; 0 when either is NULL. */
QUILLAR_API gboolean g_str_has_prefix(const gchar *text, const gchar *prefix);

QUILLAR_END_DECLS

#endif
