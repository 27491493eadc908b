/* Floor for the filter benchmark: a hand-written scan counting the records that are not deleted
 * and match one fixed condition on the benchmark table.
 *
 *   floor_filter FILE 1    (CITY LIKE 'Par%') AND (AMOUNT > 500)
 *   floor_filter FILE 2    EMPTY(NOTE)
 *   floor_filter FILE 3    BDATE >= ctod("01.01.2000")
 *   floor_filter FILE 4    UPPER(NAME) = 'SMITH'                                                    */
#include <ctype.h>

#include "dbf_scan.h"

struct filter_context {
    int mode;
    const struct scan_field* f;
    unsigned long count;
};

/* The value of a right-aligned N field in hundredths; enough for the comparison with 500. */
static long long hundredths(const unsigned char* p, int n) {
    long long v = 0;
    int decimals = -1, negative = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c >= '0' && c <= '9') {
            if (decimals >= 0 && ++decimals > 2)
                continue;
            v = v * 10 + (c - '0');
        } else if (c == '.') {
            decimals = 0;
        } else if (c == '-') {
            negative = 1;
        }
    }
    for (int d = decimals < 0 ? 0 : decimals; d < 2; ++d)
        v *= 10;
    return negative ? -v : v;
}

static int blank(const unsigned char* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] != ' ' && p[i] != '\0')
            return 0;
    return 1;
}

static void visit(const unsigned char* rec, void* context) {
    struct filter_context* c = context;
    if (rec[0] == '*')
        return;
    const unsigned char* p = rec + c->f[0].offset;
    int hit = 0;
    switch (c->mode) {
    case 1:
        hit = (p[0] | 0x20) == 'p' && (p[1] | 0x20) == 'a' && (p[2] | 0x20) == 'r' &&
              hundredths(rec + c->f[1].offset, c->f[1].width) > 50000;
        break;
    case 2:
        hit = blank(p, c->f[0].width);
        break;
    case 3:
        hit = !blank(p, 8) && memcmp(p, "20000101", 8) >= 0;
        break;
    case 4: {
        int n = c->f[0].width;
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        hit = n == 5 && toupper(p[0]) == 'S' && toupper(p[1]) == 'M' && toupper(p[2]) == 'I' &&
              toupper(p[3]) == 'T' && toupper(p[4]) == 'H';
        break;
    }
    }
    c->count += (unsigned long)hit;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: floor_filter FILE 1|2|3|4\n", stderr);
        return 2;
    }
    struct scan_table t;
    if (scan_open(&t, argv[1]) != 0)
        return 1;
    struct filter_context c = {atoi(argv[2]), NULL, 0};
    struct scan_field f[2];
    memset(f, 0, sizeof f);
    switch (c.mode) {
    case 1:
        f[0] = *scan_field_named(&t, "CITY");
        f[1] = *scan_field_named(&t, "AMOUNT");
        break;
    case 2: f[0] = *scan_field_named(&t, "NOTE"); break;
    case 3: f[0] = *scan_field_named(&t, "BDATE"); break;
    case 4: f[0] = *scan_field_named(&t, "NAME"); break;
    default: fputs("mode must be 1 to 4\n", stderr); return 2;
    }
    c.f = f;
    scan_records(&t, visit, &c);
    printf("%lu\n", c.count);
    return 0;
}
