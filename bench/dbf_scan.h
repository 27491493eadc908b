/* Shared helpers of the C floor programs: header parsing and a chunked record scan.
 * Plain C, no dependencies; the floors are what a careful hand-written tool costs. */
#ifndef TABVUE_BENCH_DBF_SCAN_H
#define TABVUE_BENCH_DBF_SCAN_H

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define SCAN_MAX_FIELDS 255

struct scan_field {
    char name[12];
    char type;
    int width;
    int decimals;
    int offset; /* inside the record; byte 0 is the deletion flag */
};

struct scan_table {
    int fd;
    unsigned long records;
    int header_length;
    int record_length;
    int field_count;
    struct scan_field fields[SCAN_MAX_FIELDS];
};

static inline int scan_open(struct scan_table* t, const char* path) {
    unsigned char h[32];
    memset(t, 0, sizeof *t);
    t->fd = open(path, O_RDONLY);
    if (t->fd < 0 || read(t->fd, h, 32) != 32) {
        perror(path);
        return -1;
    }
    t->records = (unsigned long)h[4] | (unsigned long)h[5] << 8 | (unsigned long)h[6] << 16 |
                 (unsigned long)h[7] << 24;
    t->header_length = h[8] | h[9] << 8;
    t->record_length = h[10] | h[11] << 8;
    int offset = 1;
    while (t->field_count < SCAN_MAX_FIELDS) {
        unsigned char d[32];
        if (read(t->fd, d, 1) != 1)
            return -1;
        if (d[0] == 0x0D)
            break;
        if (read(t->fd, d + 1, 31) != 31)
            return -1;
        struct scan_field* f = &t->fields[t->field_count++];
        memcpy(f->name, d, 11);
        f->name[11] = '\0';
        f->type = (char)d[11];
        f->width = d[16];
        f->decimals = d[17];
        f->offset = offset;
        offset += f->width;
    }
    if (offset > t->record_length || lseek(t->fd, t->header_length, SEEK_SET) < 0) {
        fprintf(stderr, "%s: inconsistent header\n", path);
        return -1;
    }
    return 0;
}

static inline const struct scan_field* scan_field_named(const struct scan_table* t, const char* name) {
    for (int i = 0; i < t->field_count; ++i)
        if (strcmp(t->fields[i].name, name) == 0)
            return &t->fields[i];
    fprintf(stderr, "no field %s\n", name);
    exit(1);
}

/* Calls visit(record, context) for every record present, in chunks of whole records. */
static inline void scan_records(struct scan_table* t, void (*visit)(const unsigned char*, void*), void* context) {
    const size_t per_chunk = (1u << 20) / (size_t)t->record_length + 1;
    const size_t chunk = per_chunk * (size_t)t->record_length;
    unsigned char* buf = malloc(chunk);
    unsigned long left = t->records;
    while (left > 0) {
        size_t want = (left < per_chunk ? left : per_chunk) * (size_t)t->record_length;
        size_t got = 0;
        while (got < want) {
            ssize_t n = read(t->fd, buf + got, want - got);
            if (n <= 0)
                break;
            got += (size_t)n;
        }
        size_t whole = got / (size_t)t->record_length;
        for (size_t i = 0; i < whole; ++i)
            visit(buf + i * (size_t)t->record_length, context);
        if (got < want)
            break; /* the file holds fewer records than its header says */
        left -= whole;
    }
    free(buf);
}

#endif
