/* Floor for the dump and the text exports: reads a DBF table and writes every record that is not
 * deleted as display text, the least work a tool doing the same job can do.
 *
 *   floor_dump FILE            tab-separated, UTF-8 (code page 850 decoded), \t \r \n \\ escaped, LF
 *   floor_dump FILE --csv      comma-separated, 8-bit (850 -> 1252), quoted when needed, CRLF
 *
 * Texts lose trailing blanks, numbers their leading blanks, dates become dd.mm.yyyy, logicals T/F
 * (True/False in CSV, as the export writes them). */
#include <iconv.h>

#include "dbf_scan.h"

static unsigned char out_buf[1 << 20];
static size_t out_len;

static void flush_out(void) {
    size_t done = 0;
    while (done < out_len) {
        ssize_t n = write(1, out_buf + done, out_len - done);
        if (n <= 0) {
            perror("write");
            exit(1);
        }
        done += (size_t)n;
    }
    out_len = 0;
}

static inline void reserve(size_t n) {
    if (out_len + n > sizeof out_buf)
        flush_out();
}

static inline void put(const void* p, size_t n) {
    reserve(n);
    memcpy(out_buf + out_len, p, n);
    out_len += n;
}

static inline void put_byte(unsigned char c) {
    reserve(1);
    out_buf[out_len++] = c;
}

/* Per byte of the table's code page: its replacement in the output, at most 4 bytes. */
static unsigned char map_bytes[256][4];
static unsigned char map_len[256];

static void build_map(const char* to) {
    iconv_t cd = iconv_open(to, "CP850");
    for (int b = 0; b < 256; ++b) {
        char in = (char)b;
        char out[8];
        char* ip = &in;
        char* op = out;
        size_t il = 1, ol = sizeof out;
        if (b < 0x80 || cd == (iconv_t)-1 || iconv(cd, &ip, &il, &op, &ol) == (size_t)-1) {
            map_bytes[b][0] = b < 0x80 ? (unsigned char)b : '?';
            map_len[b] = 1;
        } else {
            map_len[b] = (unsigned char)(op - out);
            memcpy(map_bytes[b], out, map_len[b]);
        }
        if (cd != (iconv_t)-1)
            iconv(cd, NULL, NULL, NULL, NULL);
    }
    if (cd != (iconv_t)-1)
        iconv_close(cd);
}

struct dump_context {
    const struct scan_table* table;
    int csv;
};

static void put_text_tsv(const unsigned char* s, int n) {
    reserve((size_t)n * 4);
    for (int i = 0; i < n; ++i) {
        const unsigned char c = s[i];
        if (c >= 0x80) {
            memcpy(out_buf + out_len, map_bytes[c], 4);
            out_len += map_len[c];
            continue;
        }
        switch (c) {
        case '\t': out_buf[out_len++] = '\\'; out_buf[out_len++] = 't'; break;
        case '\r': out_buf[out_len++] = '\\'; out_buf[out_len++] = 'r'; break;
        case '\n': out_buf[out_len++] = '\\'; out_buf[out_len++] = 'n'; break;
        case '\\': out_buf[out_len++] = '\\'; out_buf[out_len++] = '\\'; break;
        default: out_buf[out_len++] = c;
        }
    }
}

static void put_text_csv(const unsigned char* s, int n) {
    int wrap = 0;
    for (int i = 0; i < n; ++i)
        if (s[i] == ' ' || s[i] == ',' || s[i] == '"' || s[i] == '\r' || s[i] == '\n') {
            wrap = 1;
            break;
        }
    reserve((size_t)n * 2 + 2);
    if (wrap)
        out_buf[out_len++] = '"';
    for (int i = 0; i < n; ++i) {
        const unsigned char c = s[i];
        if (c == '"')
            out_buf[out_len++] = '"';
        out_buf[out_len++] = map_bytes[c][0];
    }
    if (wrap)
        out_buf[out_len++] = '"';
}

static void dump_record(const unsigned char* rec, void* context) {
    const struct dump_context* ctx = context;
    const struct scan_table* t = ctx->table;
    if (rec[0] == '*')
        return;
    for (int i = 0; i < t->field_count; ++i) {
        const struct scan_field* f = &t->fields[i];
        const unsigned char* p = rec + f->offset;
        int n = f->width;
        if (i > 0)
            put_byte(ctx->csv ? ',' : '\t');
        switch (f->type) {
        case 'D':
            if (p[0] != ' ' && p[0] != '\0') {
                const unsigned char d[10] = {p[6], p[7], '.', p[4], p[5], '.', p[0], p[1], p[2], p[3]};
                put(d, 10);
            }
            break;
        case 'L':
            if (ctx->csv) /* the export writes True or False; no value counts as false */
                put_text_csv((const unsigned char*)(strchr("TtYy", p[0]) && p[0] ? "True" : "False"),
                             strchr("TtYy", p[0]) && p[0] ? 4 : 5);
            else if (strchr("TtYy", p[0]) && p[0])
                put_byte('T');
            else if (strchr("FfNn", p[0]) && p[0])
                put_byte('F');
            break;
        case 'N':
        case 'F':
            while (n > 0 && p[0] == ' ')
                ++p, --n;
            /* fall through */
        default:
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
                --n;
            if (ctx->csv)
                put_text_csv(p, n);
            else
                put_text_tsv(p, n);
        }
    }
    if (ctx->csv)
        put("\r\n", 2);
    else
        put_byte('\n');
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("usage: floor_dump FILE [--csv]\n", stderr);
        return 2;
    }
    struct scan_table t;
    if (scan_open(&t, argv[1]) != 0)
        return 1;
    struct dump_context ctx = {&t, argc > 2 && strcmp(argv[2], "--csv") == 0};
    build_map(ctx.csv ? "CP1252" : "UTF-8");
    scan_records(&t, dump_record, &ctx);
    flush_out();
    return 0;
}
