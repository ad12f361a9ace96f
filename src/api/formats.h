// SPDX-License-Identifier: BSD-2-Clause
// The formats the front end can select, and the rules that select them.
// Adding a format is one row in kFormats (and one word in the fuzz targets'
// list): its descriptor says which codes it serves and how it recognises a
// file, its header says how big its state is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "demux/asf/gstasfdemux.h"
#include "demux/avi/gstavidemux.h"
#include "demux/flv/flvdemux.h"
#include "demux/mkv/mkv_internal.h"
#include "demux/rm/rmdemux.h"
#include "format/format.h"
#include "parsers/ivf/gstivfparse.h"
#include "parsers/rcv/rcvparse.h"
#include "parsers/vp6/vp6parse.h"
#include "parsers/webp/webpparse.h"
#include "quillar/gstparser.h"

namespace quillar {

// Every format, in selection order. For a video standard code the first row
// that serves it and whose probe accepts the file's first bytes is chosen; a
// row without a probe accepts any file, so it stands after the rows that
// probe for the same code.
inline constexpr const FormatDescriptor *kFormats[] = {
    &kRcvFormat,       // 5: byte 3 is 0xC5
    &kIvfFormat,       // 10: "DKIF"
    &kWebpFormat,      // 10: "RIFF"
    &kMatroskaFormat,  // 5, 7, 10: the EBML magic (plays the first video track that fits the code)
    &kAsfFormat,       // 5: any other file
    &kRmFormat,        // 7: any other file
    &kAviFormat,       // 8
    &kFlvFormat,       // 9: "FLV" and version 1
    &kVp6Format,       // 9: any other file
};

// How the first bytes are read for a code whose rows probe. The bytes are
// read from the current position; then the file is put back where it was
// (kRestorePosition) or at its start (kRewind).
enum class ProbeRead : uint8_t { kRestorePosition, kRewind };

// What a video standard code does beyond its rows.
struct StandardRule {
  uint32_t code;
  ProbeRead probe_read;
  // Printed when the first bytes cannot be read or put back: the code then
  // fails. Null: such a file goes to the code's rows without a probe.
  const char *cannot_probe;
  // Printed when no row accepts the file (a code whose last row has no probe
  // never gets there).
  const char *no_match;
};

inline constexpr StandardRule kStandardRules[] = {
    {VIDEO_STANDARD_VC1, ProbeRead::kRestorePosition, "Cannot determinate VC1 file format", nullptr},
    {VIDEO_STANDARD_REALVIDEO, ProbeRead::kRestorePosition, nullptr, nullptr},
    {VIDEO_STANDARD_AVI, ProbeRead::kRestorePosition, nullptr, nullptr},
    {VIDEO_STANDARD_VP6, ProbeRead::kRestorePosition, nullptr, nullptr},
    {VIDEO_STANDARD_VP8, ProbeRead::kRewind, "Cannot determinate VP8 file format",
     "Cannot determinate VP8 file format"},
};

inline constexpr const char *kUnsupportedStandard = "Video standard not supported by parser";

constexpr std::span<const FormatDescriptor *const> formats() { return kFormats; }

// The storage every state record fits in, at every record's alignment.
constexpr size_t largest_state() {
  size_t size = 0;
  for (const FormatDescriptor *f : kFormats) size = f->state_size > size ? f->state_size : size;
  return size;
}
constexpr size_t strictest_alignment() {
  size_t align = 1;
  for (const FormatDescriptor *f : kFormats) align = f->state_align > align ? f->state_align : align;
  return align;
}
inline constexpr size_t kStateStorageSize = largest_state();
inline constexpr size_t kStateStorageAlign = strictest_alignment();

// Whether a code has a rule.
constexpr bool has_rule(uint32_t code) {
  for (const StandardRule &rule : kStandardRules)
    if (rule.code == code) return true;
  return false;
}

// The rule for a code, or null for a code no format serves.
constexpr const StandardRule *rule_for(uint32_t code) {
  for (const StandardRule &rule : kStandardRules)
    if (rule.code == code) return &rule;
  return nullptr;
}

// Whether some row for `code` looks at the file: only then is it read.
constexpr bool code_probes(uint32_t code) {
  for (const FormatDescriptor *f : kFormats)
    if ((f->standards & standard_bit(code)) && f->probe) return true;
  return false;
}

// The first row for `code` that accepts `head` (the first kProbeSize bytes),
// or, with `head` null, the first row for `code` without a probe.
const FormatDescriptor *match_format(uint32_t code, const uint8_t *head);

// The table and the rules agree: every code a row serves has a rule, every
// rule has a row, and a code without a message for a file its probes cannot
// read or do not accept has a row without a probe to take that file.
constexpr bool rules_are_complete() {
  for (const FormatDescriptor *f : kFormats)
    for (uint32_t code = 0; code < 32; code++)
      if ((f->standards & standard_bit(code)) && !has_rule(code)) return false;
  for (const StandardRule &rule : kStandardRules) {
    bool served = false, fallback = false;
    for (const FormatDescriptor *f : kFormats) {
      if (!(f->standards & standard_bit(rule.code))) continue;
      served = true;
      fallback = fallback || !f->probe;
    }
    if (!served) return false;
    if (!fallback && !(rule.cannot_probe && rule.no_match)) return false;
  }
  return true;
}
// (A test checks this: sanitizer builds cannot compare a function's address
// with null at compile time, so it is no static_assert.)

}  // namespace quillar
