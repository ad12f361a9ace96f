/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: symbol visibility and C linkage for the public headers. */
#ifndef QUILLAR_EXPORT_H
#define QUILLAR_EXPORT_H

#if defined(__GNUC__)
#define QUILLAR_API __attribute__((visibility("default")))
#else
#define QUILLAR_API
#endif

#ifdef __cplusplus
#define QUILLAR_BEGIN_DECLS extern "C" {
#define QUILLAR_END_DECLS }
#else
#define QUILLAR_BEGIN_DECLS
#define QUILLAR_END_DECLS
#endif

#endif
