// SPDX-License-Identifier: BSD-2-Clause
// Record layouts of the containers and media objects that callers read
// directly, pinned for the 64-bit targets (LP64: x86-64 and AArch64 Linux).
#include <cstddef>

#include "quillar/garray.h"
#include "quillar/gstcaps.h"
#include "quillar/gstpad.h"

static_assert(sizeof(void *) == 8, "the record layouts are pinned for 64-bit targets");

static_assert(offsetof(GArray, data) == 0);
static_assert(offsetof(GArray, len) == 8);
static_assert(offsetof(GArray, allocated_bytes) == 12);
static_assert(offsetof(GArray, element_size) == 16);
static_assert(sizeof(GArray) == 24);  // the two flag bits share the word at 20

static_assert(offsetof(GPtrArray, items) == 0);
static_assert(offsetof(GPtrArray, len) == 8);
static_assert(offsetof(GPtrArray, element_free) == 16);
static_assert(sizeof(GPtrArray) == 24);

static_assert(offsetof(GstCaps, refcount) == 0);
static_assert(offsetof(GstCaps, structures) == 8);
static_assert(sizeof(GstCaps) == 16);

static_assert(offsetof(GstStaticCaps, caps) == 0);
static_assert(offsetof(GstStaticCaps, string) == 16);
static_assert(sizeof(GstStaticCaps) == 24);

static_assert(offsetof(GstStructure, type) == 0);
static_assert(offsetof(GstStructure, name) == 4);
static_assert(offsetof(GstStructure, parent_refcount) == 8);
static_assert(offsetof(GstStructure, fields) == 16);
static_assert(sizeof(GstStructure) == 24);

static_assert(sizeof(GValue) == 24);
static_assert(offsetof(GstStructureField, name) == 0);
static_assert(offsetof(GstStructureField, value) == 8);
static_assert(sizeof(GstStructureField) == 32);

static_assert(offsetof(GstObject, klass) == 0);
static_assert(offsetof(GstObject, refcount) == 8);
static_assert(offsetof(GstPad, object) == 0);
static_assert(offsetof(GstPad, caps) == 16);
static_assert(offsetof(GstPadTemplate, object) == 0);
