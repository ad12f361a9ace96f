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

QUILLAR_END_DECLS

#endif
