/* SPDX-License-Identifier: BSD-2-Clause */
/* The library prints fixed diagnostic texts on standard output. The tool
 * keeps the real standard output for its table and points descriptor 1 at a
 * memory file: the texts never mix with the table, a refusal can quote the
 * library's own reason, and with --verbose they are passed on to standard
 * error in whole lines, in order with the tool's own messages. */
#ifndef QUILLAR_TOOLS_LIBMSG_H
#define QUILLAR_TOOLS_LIBMSG_H

#include <stddef.h>
#include <stdio.h>

/* Points descriptor 1 at the capture (take a duplicate of the real standard
 * output first). Returns 0, or -1 with errno set. */
int libmsg_start(int verbose);
/* Passes the texts printed so far on (verbose) or drops old ones when they
 * pile up. Call between library calls. */
void libmsg_pump(void);
/* From now on libmsg_reason looks only at later texts. */
void libmsg_mark(void);
/* The library's most telling text since the mark (its last line that is
 * more than a progress note), or "" when it said nothing. */
const char *libmsg_reason(char *out, size_t size);
void libmsg_stop(void);

#endif
