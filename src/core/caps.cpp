// Caps and structures: reference-counted containers with no real content.
#include <cstdlib>

#include "quillar/gstcaps.h"

extern "C" {

void gst_caps_ref(GstCaps *caps) {
  if (caps) caps->refcount++;
}

void gst_caps_unref(GstCaps *caps) {
  if (!caps || caps->refcount == 0) return;
  if (--caps->refcount == 0) free(caps);
}

GstStructure *gst_structure_copy(const GstStructure *structure) {
  if (!structure) return nullptr;
  auto *copy = static_cast<GstStructure *>(calloc(1, sizeof(GstStructure)));
  if (copy) copy->name = structure->name;
  return copy;
}

void gst_structure_free(GstStructure *structure) {
  if (!structure || structure->parent_refcount) return;
  free(structure);
}

void gst_structure_set_parent_refcount(GstStructure *structure, gint32 *refcount) {
  if (!structure) return;
  if ((structure->parent_refcount == nullptr) != (refcount == nullptr))
    structure->parent_refcount = refcount;
}

}  // extern "C"
