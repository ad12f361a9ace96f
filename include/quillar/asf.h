/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: the ASF (WMV/VC-1) demultiplexer's GUID tables, its state record
 * and its packet parser.
 *
 * ASF files are built of objects named by 16-byte GUIDs. The four constant
 * tables below map the GUIDs the demultiplexer knows to small identifiers
 * with a printable nick; gst_asf_identify_guid and gst_asf_get_guid_nick look
 * them up. The demultiplexer itself is driven through gst_asf_demux_chain and
 * gst_asf_demux_reset_wrapper (parser.h); the state record and the packet
 * parser are exported for diagnostics and testing. */
#ifndef QUILLAR_ASF_H
#define QUILLAR_ASF_H

#include "garray.h"
#include "gstadapter.h"
#include "parser.h"

QUILLAR_BEGIN_DECLS

/* A GUID as four 32-bit words: word k is the little-endian value of bytes
 * 4k..4k+3 in file order, so comparing words compares the file bytes. */
typedef struct AsfGuidValue {
  guint32 v1, v2, v3, v4;
} AsfGuidValue;

/* One table row. A table ends with a row whose id is 0 and whose GUID is all
 * zero; that row's nick names the table's undefined value. The lookups read
 * id as an unsigned 8-bit value. */
typedef struct AsfGuidEntry {
  guint32 id;
  const char *nick;
  AsfGuidValue guid;
} AsfGuidEntry;

/* Object identifiers (asf_object_guids). */
enum {
  ASF_OBJ_UNDEFINED = 0,
  ASF_OBJ_STREAM = 1,
  ASF_OBJ_DATA = 2,
  ASF_OBJ_FILE = 3,
  ASF_OBJ_HEADER = 4,
  ASF_OBJ_CONCEAL_NONE = 5,
  ASF_OBJ_COMMENT = 6,
  ASF_OBJ_CODEC_COMMENT = 7,
  ASF_OBJ_CODEC_COMMENT1 = 8,
  ASF_OBJ_SIMPLE_INDEX = 9,
  ASF_OBJ_INDEX = 10,
  ASF_OBJ_HEAD1 = 11,
  ASF_OBJ_HEAD2 = 12,
  ASF_OBJ_PADDING = 13,
  ASF_OBJ_BITRATE_PROPS = 14,
  ASF_OBJ_EXT_CONTENT_DESC = 15,
  ASF_OBJ_BITRATE_MUTEX = 16,
  ASF_OBJ_LANGUAGE_LIST = 17,
  ASF_OBJ_METADATA_OBJECT = 18,
  ASF_OBJ_EXTENDED_STREAM_PROPS = 19,
  ASF_OBJ_COMPATIBILITY = 20,
  ASF_OBJ_INDEX_PLACEHOLDER = 21,
  ASF_OBJ_INDEX_PARAMETERS = 22,
  ASF_OBJ_ADVANCED_MUTUAL_EXCLUSION = 23,
  ASF_OBJ_STREAM_PRIORITIZATION = 24,
  ASF_OBJ_CONTENT_ENCRYPTION = 25,
  ASF_OBJ_EXT_CONTENT_ENCRYPTION = 26,
  ASF_OBJ_DIGITAL_SIGNATURE_OBJECT = 27,
  ASF_OBJ_SCRIPT_COMMAND = 28,
  ASF_OBJ_MARKER = 29,
  ASF_OBJ_UNKNOWN_ENCRYPTION_OBJECT = 30
};

/* Stream types (asf_stream_guids). */
enum { ASF_STREAM_UNDEFINED = 0, ASF_STREAM_VIDEO = 1, ASF_STREAM_AUDIO = 2 };

/* Error-correction types (asf_correction_guids; two GUIDs mean "off"). */
enum { ASF_CORRECTION_UNDEFINED = 0, ASF_CORRECTION_ON = 1, ASF_CORRECTION_OFF = 2 };

/* Payload-extension systems (asf_payload_ext_guids). */
enum {
  ASF_PAYLOAD_EXTENSION_UNDEFINED = 0,
  ASF_PAYLOAD_EXTENSION_DURATION = 1,
  ASF_PAYLOAD_EXTENSION_SYSTEM_CONTENT = 2,
  ASF_PAYLOAD_EXTENSION_SYSTEM_PIXEL_ASPECT_RATIO = 3
};

QUILLAR_API extern const AsfGuidEntry asf_object_guids[];      /* 30 rows + end */
QUILLAR_API extern const AsfGuidEntry asf_stream_guids[];      /* 2 rows + end */
QUILLAR_API extern const AsfGuidEntry asf_correction_guids[];  /* 3 rows + end */
QUILLAR_API extern const AsfGuidEntry asf_payload_ext_guids[]; /* 3 rows + end */

/* The id of the first row of `table` whose GUID equals `guid`; 0 when none
 * does (an all-zero GUID always gives 0). */
QUILLAR_API guint32 gst_asf_identify_guid(const AsfGuidEntry *table, const AsfGuidValue *guid);
/* The nick of the first row of `table` with identifier `id`, or the text
 * "ASF_OBJ_UNDEFINED" (whatever the table) when there is none. */
QUILLAR_API const char *gst_asf_get_guid_nick(const AsfGuidEntry *table, guint32 id);

/* Demultiplexer phases. */
enum { ASF_PHASE_HEADER = 0, ASF_PHASE_DATA = 1, ASF_PHASE_INDEX = 2 };

/* gst_asf_demux_parse_packet results; the chain treats both failures alike
 * (the packet counts as taken, nothing comes out of it). */
enum { ASF_PACKET_OK = 0, ASF_PACKET_SHORT = 1, ASF_PACKET_BROKEN = 2 };

#define ASF_MAX_STREAMS 32

/* A media object being assembled, or waiting to be handed out. Complete when
 * bytes_filled >= object_size. */
typedef struct AsfMediaObject {
  guint32 object_number; /* from the payload header; all ones when absent */
  guint32 object_offset; /* offset into the object (a presentation time for
                            a compressed payload); all ones when absent */
  guint32 object_size;   /* from the replicated data; 0 when unknown and for
                            the pieces of a compressed payload */
  guint32 bytes_filled;  /* end of the furthest byte written so far */
  GstBuffer *buffer;     /* the object's bytes (one reference), never NULL
                            in a queued record */
} AsfMediaObject;

/* One registered video stream. A zeroed record is a free slot. */
typedef struct AsfStreamRecord {
  uint16_t stream_number; /* the 7-bit ASF stream number */
  GArray *objects;       /* AsfMediaObject by value, oldest first; only the
                            newest can be incomplete */
} AsfStreamRecord;

/* The demultiplexer's private state (it lives zero-filled inside the parser
 * context; `output` is set before the first reset). */
typedef struct AsfDemuxState {
  ParserOutput *output;
  GstAdapter *adapter;     /* created by the first chain call */
  guint32 phase;           /* ASF_PHASE_* */
  guint64 total_packets;   /* packets to take; 0: as long as whole ones come */
  int64_t packet_index;    /* packets taken since the header */
  guint32 stream_count;    /* records of streams in use */
  AsfStreamRecord streams[ASF_MAX_STREAMS]; /* video streams in header order */
  guint32 packet_size;     /* every data packet's size */
  guint32 broadcast;       /* bit 0 of the file properties flags */
} AsfDemuxState;

/* The first of the registered streams whose number equals the low 16 bits of
 * `number`, or NULL. */
QUILLAR_API AsfStreamRecord *gst_asf_demux_get_stream(AsfDemuxState *state, guint32 number);

/* Parses one data packet (all of `packet` is the packet) and queues its
 * media objects in the registered streams' records; payloads of other
 * streams are skipped. The caller keeps its reference to `packet`; queued
 * objects that share its bytes hold their own. Objects queued before a
 * failure stay queued. Nothing is handed out here: the chain moves complete
 * objects to the output after each packet that returns ASF_PACKET_OK.
 * Media objects declared larger than 64 MiB are not assembled (their
 * fragments are dropped); a media object that cannot be allocated makes the
 * packet ASF_PACKET_BROKEN (the chain then fails the call).
 * Returns ASF_PACKET_OK, ASF_PACKET_SHORT or ASF_PACKET_BROKEN. */
QUILLAR_API gint32 gst_asf_demux_parse_packet(AsfDemuxState *state, GstBuffer *packet);

QUILLAR_END_DECLS

#endif
