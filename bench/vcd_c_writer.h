#ifndef ONDREL_BENCH_VCD_C_WRITER_H
#define ONDREL_BENCH_VCD_C_WRITER_H

/* The yardstick for the VCD exporter: a plain C writer of the same file from
 * the same bit-packed store (sample s of a channel in bit s % 64 of word
 * s / 64), with no Qt and no C++. */

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

struct cvcd_var {
    const char* name; /* written as given: already a VCD reference */
    int width;
    const uint64_t* const* bits; /* width channels, most significant first */
};

struct cvcd_info {
    const char* date;
    const char* module;
    const char* unit;
    int period;
    long long samples;
    const long long* frame_starts;
    int num_frames;
    const long long* trigger_positions;
    int num_triggers;
};

/* 0 when every byte was written, -1 otherwise (errno tells why). */
int cvcd_write(FILE* f, const struct cvcd_info* info, const struct cvcd_var* vars, int num_vars);

#ifdef __cplusplus
}
#endif

#endif
