/* Counts the guest instructions that qemu-user executes, for the benchmark's instructions per
 * operation on the device's processor. Every translated block adds its instruction count to one
 * counter inline each time it runs; at exit the total goes to the file named by out=PATH (or to
 * stderr) as one decimal number.
 *
 *   gcc -O2 -shared -fPIC -o insn_count.so insn_count.c
 *   qemu-arm -plugin ./insn_count.so,out=count.txt PROGRAM ...
 *
 * The plugin interface (version 1) is declared here from its documented signatures: the
 * distribution's qemu ships no header for it. The functions are resolved in the qemu binary when
 * it loads the plugin. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t; /* not looked at */
struct qemu_plugin_tb;

enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };

typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op,
                                              void* ptr, uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

/* The benchmark is single-threaded: one counter, no atomics. */
static uint64_t executed;
static char out_path[4096];

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed,
                                             qemu_plugin_tb_n_insns(tb));
}

static void on_exit(qemu_plugin_id_t id, void* userdata) {
    (void)id;
    (void)userdata;
    FILE* out = out_path[0] ? fopen(out_path, "w") : stderr;
    if (out == NULL) out = stderr;
    fprintf(out, "%llu\n", (unsigned long long)executed);
    if (out != stderr) fclose(out);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id,
                                                               const qemu_info_t* info, int argc,
                                                               char** argv) {
    (void)info;
    for (int i = 0; i < argc; ++i) {
        if (strncmp(argv[i], "out=", 4) == 0) {
            strncpy(out_path, argv[i] + 4, sizeof out_path - 1);
        } else {
            fprintf(stderr, "insn_count: unknown argument %s\n", argv[i]);
            return -1;
        }
    }
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
    qemu_plugin_register_atexit_cb(id, on_exit, NULL);
    return 0;
}
