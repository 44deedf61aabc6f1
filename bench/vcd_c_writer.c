/* A plain C VCD writer, written the way one would write it by hand for speed:
 * one output buffer flushed with one fwrite per megabyte, hand-rolled decimal
 * and identifier formatting, change masks computed a 64-sample word at a
 * time and the changed variables sorted into per-bit lists, so each sample
 * with a change costs one time stamp plus one line per changed variable. */

#include "vcd_c_writer.h"

#include <stdlib.h>
#include <string.h>

#define BLOCK (1u << 20)

struct out {
    FILE* f;
    char* buf;
    size_t len;
    size_t cap; /* BLOCK plus room for the longest line */
    int ok;
};

static void out_flush(struct out* o) {
    if (o->len) {
        if (fwrite(o->buf, 1, o->len, o->f) != o->len)
            o->ok = 0;
        o->len = 0;
    }
}

/* Room for one line: at least cap - BLOCK bytes. */
static inline char* out_room(struct out* o) {
    if (o->len >= BLOCK)
        out_flush(o);
    return o->buf + o->len;
}

static void out_str(struct out* o, const char* s) {
    size_t n = strlen(s);
    while (n) {
        char* p = out_room(o);
        size_t k = n < o->cap - o->len ? n : o->cap - o->len;
        memcpy(p, s, k);
        o->len += k;
        s += k;
        n -= k;
    }
}

static inline size_t fmt_u64(char* p, unsigned long long v) {
    char tmp[20];
    size_t n = 0;
    do {
        tmp[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    for (size_t i = 0; i < n; ++i)
        p[i] = tmp[n - 1 - i];
    return n;
}

static void out_u64(struct out* o, unsigned long long v) {
    char* p = out_room(o);
    o->len += fmt_u64(p, v);
}

/* Bit i set when sample word*64+i differs from the sample before it. */
static inline uint64_t change_mask(const uint64_t* w, long long word, long long samples) {
    const uint64_t x = w[word];
    const uint64_t before = word > 0 ? (w[word - 1] >> 63) : (x & 1u);
    uint64_t c = x ^ ((x << 1) | before);
    const long long valid = samples - word * 64;
    if (valid < 64)
        c &= (((uint64_t)1) << valid) - 1;
    return c;
}

struct id {
    char text[8];
    size_t len;
};

static void write_value(struct out* o, const struct cvcd_var* v, const struct id* id, long long s) {
    const long long word = s >> 6;
    const int bit = (int)(s & 63);
    char* p = out_room(o);
    if (v->width == 1) {
        p[0] = (char)('0' + ((v->bits[0][word] >> bit) & 1));
        memcpy(p + 1, id->text, id->len);
        p[id->len + 1] = '\n';
        o->len += id->len + 2;
        return;
    }
    size_t n = 0;
    p[n++] = 'b';
    int k = 0;
    while (k < v->width && !((v->bits[k][word] >> bit) & 1))
        ++k;
    if (k == v->width)
        p[n++] = '0';
    for (; k < v->width; ++k)
        p[n++] = (char)('0' + ((v->bits[k][word] >> bit) & 1));
    p[n++] = ' ';
    memcpy(p + n, id->text, id->len);
    n += id->len;
    p[n++] = '\n';
    o->len += n;
}

int cvcd_write(FILE* f, const struct cvcd_info* info, const struct cvcd_var* vars, int num_vars) {
    int widest = 1;
    for (int i = 0; i < num_vars; ++i)
        if (vars[i].width > widest)
            widest = vars[i].width;
    const size_t cap = BLOCK + (size_t)widest + 64;
    struct out o = {f, malloc(cap), 0, cap, 1};
    struct id* ids = malloc(sizeof(struct id) * (size_t)(num_vars ? num_vars : 1));
    int* bucket = malloc(sizeof(int) * 64 * (size_t)(num_vars ? num_vars : 1));
    int count[64] = {0};
    if (!o.buf || !ids || !bucket) {
        free(o.buf);
        free(ids);
        free(bucket);
        return -1;
    }

    int scale = 1;
    if (info->period > 0 && info->period % 100 == 0)
        scale = 100;
    else if (info->period > 0 && info->period % 10 == 0)
        scale = 10;
    const unsigned long long tick = (unsigned long long)(info->period / scale > 1 ? info->period / scale : 1);

    out_str(&o, "$date\n\t");
    out_str(&o, info->date);
    out_str(&o, "\n$end\n$version\n\tOndrel Analyzer 1.0\n$end\n$comment\n\t");
    out_u64(&o, (unsigned long long)info->samples);
    out_str(&o, " samples in ");
    out_u64(&o, (unsigned long long)(info->num_frames > 1 ? info->num_frames : 1));
    out_str(&o, " trigger frame(s); frames start at samples");
    for (int i = 0; i < info->num_frames; ++i) {
        out_str(&o, " ");
        out_u64(&o, (unsigned long long)info->frame_starts[i]);
    }
    out_str(&o, "; trigger positions at samples");
    for (int i = 0; i < info->num_triggers; ++i) {
        out_str(&o, " ");
        out_u64(&o, (unsigned long long)info->trigger_positions[i]);
    }
    out_str(&o, "\n$end\n$timescale ");
    out_u64(&o, (unsigned long long)scale);
    out_str(&o, " ");
    out_str(&o, info->unit);
    out_str(&o, " $end\n$scope module ");
    out_str(&o, info->module);
    out_str(&o, " $end\n");
    for (int i = 0; i < num_vars; ++i) {
        int n = i;
        ids[i].len = 0;
        do {
            ids[i].text[ids[i].len++] = (char)('!' + n % 94);
            n /= 94;
        } while (n > 0);
        out_str(&o, "$var wire ");
        out_u64(&o, (unsigned long long)vars[i].width);
        char* p = out_room(&o);
        p[0] = ' ';
        memcpy(p + 1, ids[i].text, ids[i].len);
        p[ids[i].len + 1] = ' ';
        o.len += ids[i].len + 2;
        out_str(&o, vars[i].name);
        if (vars[i].width > 1) {
            out_str(&o, " [");
            out_u64(&o, (unsigned long long)(vars[i].width - 1));
            out_str(&o, ":0]");
        }
        out_str(&o, " $end\n");
    }
    out_str(&o, "$upscope $end\n$enddefinitions $end\n");

    const long long n = info->samples;
    if (n > 0) {
        out_str(&o, "#0\n$dumpvars\n");
        for (int i = 0; i < num_vars; ++i)
            write_value(&o, &vars[i], &ids[i], 0);
        out_str(&o, "$end\n");
    }
    const long long words = (n + 63) / 64;
    for (long long wd = 0; wd < words; ++wd) {
        uint64_t any = 0;
        for (int i = 0; i < num_vars; ++i) {
            uint64_t m = 0;
            for (int k = 0; k < vars[i].width; ++k)
                m |= change_mask(vars[i].bits[k], wd, n);
            if (wd == 0)
                m &= ~(uint64_t)1; /* sample 0 is in $dumpvars */
            any |= m;
            while (m) {
                const int b = __builtin_ctzll(m);
                bucket[b * num_vars + count[b]++] = i;
                m &= m - 1;
            }
        }
        while (any) {
            const int b = __builtin_ctzll(any);
            any &= any - 1;
            const long long s = wd * 64 + b;
            char* p = out_room(&o);
            p[0] = '#';
            size_t len = 1 + fmt_u64(p + 1, (unsigned long long)s * tick);
            p[len++] = '\n';
            o.len += len;
            const int* list = bucket + b * num_vars;
            for (int j = 0; j < count[b]; ++j)
                write_value(&o, &vars[list[j]], &ids[list[j]], s);
            count[b] = 0;
        }
    }
    if (n > 0) {
        char* p = out_room(&o);
        p[0] = '#';
        size_t len = 1 + fmt_u64(p + 1, (unsigned long long)n * tick);
        p[len++] = '\n';
        o.len += len;
    }
    out_flush(&o);
    free(o.buf);
    free(ids);
    free(bucket);
    return o.ok ? 0 : -1;
}
