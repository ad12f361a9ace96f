/* SPDX-License-Identifier: BSD-2-Clause */
/* A complete minimal decoder host for libQuillar: it hands the library a file
 * and a video standard code, pulls every item into its own buffer, and counts
 * what came out.
 *
 *   minimal_host FILE [STANDARD]   (STANDARD: 5, 7, 8, 9 or 10; default 10)
 *
 * Build: cc -o minimal_host minimal_host.c $(pkg-config --cflags --libs quillar)
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <quillar/gstparser.h>

static uint8_t buffer[1 << 20]; /* the decoder's input buffer */

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s FILE [STANDARD]\n", argv[0]);
    return 2;
  }
  const uint32_t standard = argc > 2 ? (uint32_t)strtoul(argv[2], NULL, 10) : VIDEO_STANDARD_VP8;

  /* 1. The host opens the file (and closes it at the end; the library never
   *    does) and asks for a parser. NULL means the format was not accepted. */
  FILE *file = fopen(argv[1], "rb");
  if (!file) {
    perror(argv[1]);
    return 1;
  }
  ParserContext *context = NULL;
  GSTPARSER_Initialise(&context, standard, file);
  if (!context) {
    fprintf(stderr, "%s: not accepted as video standard %u\n", argv[1], (unsigned)standard);
    fclose(file);
    return 1;
  }

  /* 2. Pull pieces into the buffer. An item larger than the buffer comes in
   *    several calls; frame_complete marks its last piece, and buffer_kind
   *    is set by the call that starts it. */
  uint32_t capacity = sizeof buffer; /* read by the library, never written */
  BitStrBufInfo info;
  unsigned long frames = 0, codec_items = 0;
  uint32_t kind = 0;
  int starting = 1;
  int32_t result;
  while ((result = GSTPARSER_BitStrBufFill(context, buffer, &capacity, &info)) == PARSER_OK) {
    if (starting) kind = info.buffer_kind;
    /* Here a host feeds info.copied_bytes bytes of buffer to its decoder. */
    starting = info.frame_complete != 0;
    if (!info.frame_complete) continue;
    if (kind == BUFFER_KIND_CODEC_DATA) {
      codec_items++;
      /* 3. Once the codec-configuration item is out, the coded size is known. */
      uint32_t config[2]; /* height, width */
      if (GSTPARSER_GetCodecConfig(context, config) == PARSER_OK)
        fprintf(stderr, "coded size %ux%u\n", (unsigned)config[1], (unsigned)config[0]);
    } else {
      frames++;
    }
  }

  /* 4. End of stream (or a rejected stream): release the context, then the
   *    file. (The summary goes to standard error: the library prints its own
   *    diagnostics on standard output.) */
  fprintf(stderr, "%lu frames, %lu codec items, %s\n", frames, codec_items,
         result == PARSER_END_OF_STREAM ? "end of stream" : "parse error");
  GSTPARSER_Deinitialise(context);
  fclose(file);
  return result == PARSER_END_OF_STREAM ? 0 : 1;
}
