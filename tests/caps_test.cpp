// SPDX-License-Identifier: BSD-2-Clause
// Caps, structures and pads.
#include <gtest/gtest.h>

#include <cstdlib>

#include "quillar/gstcaps.h"
#include "quillar/gstpad.h"
#include "quillar/gsttype.h"

namespace {

// A free-standing structure with the given field names, each with a
// non-zero value.
GstStructure *structure_with(GQuark name, std::initializer_list<GQuark> field_names) {
  auto *s = static_cast<GstStructure *>(calloc(1, sizeof(GstStructure)));
  s->name = name;
  s->fields = g_array_new(0, 0, sizeof(GstStructureField));
  for (GQuark f : field_names) {
    GstStructureField field = {};
    field.name = f;
    field.value.g_type = 7;
    field.value.data[0].v_uint64 = 0x1234;
    g_array_append_val(s->fields, field);
  }
  return s;
}

// Puts a structure into the caps, owned by them.
void add_structure(GstCaps *caps, GstStructure *s) {
  GPtrArray *a = caps->structures;
  a->items = static_cast<gpointer *>(realloc(a->items, (a->len + 1) * sizeof(gpointer)));
  a->items[a->len++] = s;
  gst_structure_set_parent_refcount(s, reinterpret_cast<gint *>(&caps->refcount));
}

TEST(Caps, ReferenceCountingFreesOnTheLastUnref) {
  GstCaps *caps = gst_caps_new_empty();
  ASSERT_NE(caps, nullptr);
  EXPECT_EQ(caps->refcount, 1u);
  ASSERT_NE(caps->structures, nullptr);
  EXPECT_EQ(caps->structures->len, 0u);
  EXPECT_EQ(gst_caps_ref(caps), caps);
  EXPECT_EQ(caps->refcount, 2u);
  gst_caps_unref(caps);
  EXPECT_EQ(caps->refcount, 1u);
  add_structure(caps, structure_with(1, {2, 3}));
  add_structure(caps, structure_with(4, {}));
  gst_caps_unref(caps);  // frees the structures too (LeakSanitizer)

  EXPECT_EQ(gst_caps_new_simple("video/x-vp8", "width", 1, "height", 2, nullptr), nullptr);
  gst_caps_unref(nullptr);
  EXPECT_EQ(gst_caps_ref(nullptr), nullptr);
  _gst_caps_free(nullptr);
}

TEST(Caps, UnrefAtCountZeroLeavesStaticStorageAlone) {
  static GstStaticCaps unused = GST_STATIC_CAPS("video/x-vp8");
  gst_caps_unref(&unused.caps);  // freeing this would crash under ASan
  EXPECT_EQ(unused.caps.refcount, 0u);
  EXPECT_EQ(unused.caps.structures, nullptr);
}

TEST(Caps, IsFixedExactlyWithOneStructure) {
  EXPECT_FALSE(gst_caps_is_fixed(nullptr));
  GstCaps *caps = gst_caps_new_empty();
  EXPECT_FALSE(gst_caps_is_fixed(caps));
  add_structure(caps, structure_with(1, {}));
  EXPECT_TRUE(gst_caps_is_fixed(caps));
  add_structure(caps, structure_with(2, {}));
  EXPECT_FALSE(gst_caps_is_fixed(caps));
  gst_caps_unref(caps);
}

TEST(Caps, ReplaceTakesTheNewReferenceBeforeDroppingTheOld) {
  GstCaps *a = gst_caps_new_empty();
  GstCaps *b = gst_caps_new_empty();
  GstCaps *slot = nullptr;
  gst_caps_replace(&slot, a);
  EXPECT_EQ(slot, a);
  EXPECT_EQ(a->refcount, 2u);
  gst_caps_replace(&slot, a);
  EXPECT_EQ(a->refcount, 2u) << "same caps: nothing happens";
  gst_caps_replace(&slot, b);
  EXPECT_EQ(a->refcount, 1u);
  EXPECT_EQ(b->refcount, 2u);
  gst_caps_replace(&slot, nullptr);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(b->refcount, 1u);
  gst_caps_replace(nullptr, a);
  EXPECT_EQ(a->refcount, 1u);
  gst_caps_unref(a);
  gst_caps_unref(b);
}

TEST(Caps, StaticCapsAreSetUpOnFirstUseAndKeepTheirOwnReference) {
  GstStaticCaps no_text = GST_STATIC_CAPS(nullptr);
  EXPECT_EQ(gst_static_caps_get(&no_text), nullptr);
  EXPECT_EQ(no_text.caps.refcount, 0u) << "left unused";
  EXPECT_EQ(gst_static_caps_get(nullptr), nullptr);

  GstStaticCaps sc = GST_STATIC_CAPS("video/x-vp8");
  GstCaps *caps = gst_static_caps_get(&sc);
  EXPECT_EQ(caps, &sc.caps);
  EXPECT_EQ(caps->refcount, 2u);
  ASSERT_NE(caps->structures, nullptr);
  GPtrArray *structures = caps->structures;
  EXPECT_EQ(gst_static_caps_get(&sc), caps);
  EXPECT_EQ(caps->refcount, 3u);
  EXPECT_EQ(caps->structures, structures) << "set up once";
  gst_caps_unref(caps);
  gst_caps_unref(caps);
  EXPECT_EQ(caps->refcount, 1u);
  g_ptr_array_free(structures, 1);  // this one lives on the stack
}

TEST(Structure, CopyKeepsNamesButNotValues) {
  GstStructure *s = structure_with(42, {7, 8, 9});
  GstStructure *c = gst_structure_copy(s);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->type, 0u);
  EXPECT_EQ(c->name, 42u);
  EXPECT_EQ(c->parent_refcount, nullptr);
  ASSERT_EQ(c->fields->len, 3u);
  for (guint i = 0; i < 3; i++) {
    const GstStructureField &f = g_array_index(c->fields, GstStructureField, i);
    EXPECT_EQ(f.name, 7 + i);
    EXPECT_EQ(f.value.g_type, 0u);
    EXPECT_EQ(f.value.data[0].v_uint64, 0u);
    EXPECT_EQ(f.value.data[1].v_uint64, 0u);
  }
  GValue dst = {};
  gst_value_init_and_copy(&dst, &g_array_index(s->fields, GstStructureField, 0).value);
  EXPECT_EQ(dst.g_type, 0u) << "values are never copied";
  gst_structure_free(c);
  gst_structure_free(s);
  EXPECT_EQ(gst_structure_copy(nullptr), nullptr);
}

TEST(Structure, OwnedStructuresAreNotFreedOrMoved) {
  GstStructure *s = structure_with(1, {1});
  gint owner = 1, other = 1;
  gst_structure_set_parent_refcount(s, &owner);
  EXPECT_EQ(s->parent_refcount, &owner);
  gst_structure_set_parent_refcount(s, &other);
  EXPECT_EQ(s->parent_refcount, &owner) << "moving to another owner is ignored";
  gst_structure_free(s);  // owned: ignored (ASan would see the later use)
  EXPECT_EQ(s->name, 1u);
  gst_structure_set_parent_refcount(s, nullptr);
  EXPECT_EQ(s->parent_refcount, nullptr);
  gst_structure_free(s);
  gst_structure_free(nullptr);
  gst_structure_set_parent_refcount(nullptr, &owner);
}

// Templates and pads begin with an object header holding one reference, so
// releasing the template inside gst_pad_new_from_static_template frees it
// (a count of 0 there leaked one template per pad).
TEST(Pad, NewFromStaticTemplateReleasesItsTemplate) {
  GstStaticPadTemplate st = {"sink", 0, 0, GST_STATIC_CAPS("video/x-vp8")};
  GstPadTemplate *t = gst_static_pad_template_get(&st);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->object.refcount, 1u);
  gst_object_unref(t);

  GstPad *pad = gst_pad_new_from_static_template(&st, "sink");
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->object.refcount, 1u);
  EXPECT_EQ(pad->caps, nullptr);
  gst_object_unref(pad);

  GstObject bare = {nullptr, 0};
  gst_object_unref(&bare);  // count 0: ignored (freeing it would crash)
  gst_object_unref(nullptr);
}

TEST(Pad, SetCapsTakesOnlyFixedCapsAndReleasesThemWithThePad) {
  GstPad *pad = gst_pad_new_from_template(nullptr, "src");
  GstCaps *empty = gst_caps_new_empty();
  EXPECT_FALSE(gst_pad_set_caps(pad, empty)) << "caps with no structure are not fixed";
  EXPECT_EQ(pad->caps, nullptr);
  EXPECT_FALSE(gst_pad_set_caps(nullptr, empty));

  GstCaps *fixed = gst_caps_new_empty();
  add_structure(fixed, structure_with(5, {}));
  EXPECT_TRUE(gst_pad_set_caps(pad, fixed));
  EXPECT_EQ(pad->caps, fixed);
  EXPECT_EQ(fixed->refcount, 2u);
  EXPECT_TRUE(gst_pad_set_caps(pad, fixed));
  EXPECT_EQ(fixed->refcount, 2u);
  EXPECT_TRUE(gst_pad_set_caps(pad, nullptr));
  EXPECT_EQ(fixed->refcount, 1u);
  EXPECT_TRUE(gst_pad_set_caps(pad, fixed));
  gst_object_unref(pad);  // drops the pad's reference to the caps
  EXPECT_EQ(fixed->refcount, 1u);
  gst_caps_unref(fixed);
  gst_caps_unref(empty);
}

// The type registration's numbers (the counter is process-wide, so they are
// checked by a program of their own: type_numbers_main.c).

}  // namespace
