/* SPDX-License-Identifier: BSD-2-Clause */
/* A minimal QEMU TCG plugin: counts the guest instructions executed and
 * prints the total at exit ("insns N" on stderr), for the instruction counts
 * of the aarch64 build (valgrind does not run aarch64 programs on x86-64).
 * Debian's qemu-user (7.2) loads plugins but ships neither plugins nor the
 * plugin header, so the few declarations of QEMU's plugin C API it needs
 * are written out here. Built for the build machine, not the target:
 *   cc -O2 -shared -fPIC -o /tmp/qemu_insn_count.so bench/qemu_insn_count.c \
 *      -Wl,--unresolved-symbols=ignore-all
 *   bench/run_bench.py --build build/arm64 --qemu-plugin /tmp/qemu_insn_count.so
 */
#include <inttypes.h>
#include <stdint.h>
#include <stdio.h>
#include <stddef.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
struct qemu_plugin_insn;
typedef struct qemu_info_t qemu_info_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

extern size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb *tb);
extern struct qemu_plugin_insn *qemu_plugin_tb_get_insn(const struct qemu_plugin_tb *tb, size_t idx);
extern void qemu_plugin_register_vcpu_insn_exec_inline(struct qemu_plugin_insn *insn, enum qemu_plugin_op op,
                                                       void *ptr, uint64_t imm);
extern void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id,
                                                  void (*cb)(qemu_plugin_id_t, struct qemu_plugin_tb *));
extern void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, void (*cb)(qemu_plugin_id_t, void *),
                                           void *userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

static uint64_t count;

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  const size_t n = qemu_plugin_tb_n_insns(tb);
  for (size_t i = 0; i < n; i++)
    qemu_plugin_register_vcpu_insn_exec_inline(qemu_plugin_tb_get_insn(tb, i), QEMU_PLUGIN_INLINE_ADD_U64,
                                               &count, 1);
}

static void on_exit(qemu_plugin_id_t id, void *p) {
  (void)id, (void)p;
  fprintf(stderr, "insns %" PRIu64 "\n", count);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info,
                                                               int argc, char **argv) {
  (void)info, (void)argc, (void)argv;
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, on_exit, NULL);
  return 0;
}
