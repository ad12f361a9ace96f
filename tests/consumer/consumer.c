/* SPDX-License-Identifier: BSD-2-Clause */
/* Built against an installed Quillar (pkg-config or find_package): runs a
 * file through the library with a small host buffer, so items arrive in
 * several pieces, keeps their sizes in a GSList from the library's own
 * containers, and checks the number of frames. Its report goes to standard
 * error, apart from the library's diagnostics on standard output.
 *
 *   quillar_consumer FILE STANDARD EXPECTED_FRAMES
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <quillar/glist.h>
#include <quillar/gstparser.h>

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s FILE STANDARD EXPECTED_FRAMES\n", argv[0]);
    return 2;
  }
  const uint32_t standard = (uint32_t)strtoul(argv[2], NULL, 10);
  const unsigned long expected = strtoul(argv[3], NULL, 10);
  FILE *file = fopen(argv[1], "rb");
  if (!file) {
    perror(argv[1]);
    return 1;
  }
  ParserContext *context = NULL;
  GSTPARSER_Initialise(&context, standard, file);
  if (!context) {
    fprintf(stderr, "%s: refused\n", argv[1]);
    fclose(file);
    return 1;
  }

  uint8_t piece[100];
  uint32_t capacity = sizeof piece;
  BitStrBufInfo info;
  GSList *sizes = NULL;
  uintptr_t size = 0, pieces = 0;
  uint32_t kind = 0;
  int32_t result;
  while ((result = GSTPARSER_BitStrBufFill(context, piece, &capacity, &info)) == PARSER_OK) {
    if (size == 0 && pieces == 0) kind = info.buffer_kind;
    size += (uintptr_t)info.copied_bytes;
    pieces++;
    if (!info.frame_complete) continue;
    if (kind == BUFFER_KIND_FRAME) sizes = g_slist_append(sizes, (gpointer)size);
    size = 0;
    pieces = 0;
  }
  GSTPARSER_Deinitialise(context);
  fclose(file);

  const unsigned long frames = g_slist_length(sizes);
  uintptr_t total = 0;
  for (guint i = 0; i < frames; i++) total += (uintptr_t)g_slist_nth_data(sizes, i);
  g_slist_free(sizes);
  fprintf(stderr, "%s: %lu frames, %lu bytes\n", argv[1], frames, (unsigned long)total);
  if (result != PARSER_END_OF_STREAM) {
    fprintf(stderr, "%s: stopped with result %d before the end of the stream\n", argv[1], (int)result);
    return 1;
  }
  if (frames != expected) {
    fprintf(stderr, "%s: %lu frames, expected %lu\n", argv[1], frames, expected);
    return 1;
  }
  return 0;
}
