/* SPDX-License-Identifier: Apache-2.0 */
/* pe_checksum: writes the PE checksum into a linked driver image's optional
 * header. The kernel's loader checks it for drivers; lld-link leaves it 0
 * (MSVC link writes it with /release). Plain C89 for the build machine,
 * shipped in the driver kit for the sample capture driver's build. The file
 * is read as untrusted: bounded in size, every offset checked, one line on
 * refusal.
 *
 * Usage: pe_checksum IMAGE */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pe_checksum.h"

static unsigned long le32(const unsigned char* p) {
    return (unsigned long)p[0] | (unsigned long)p[1] << 8 | (unsigned long)p[2] << 16 | (unsigned long)p[3] << 24;
}

const char* pe_checksum_of(const unsigned char* file, unsigned long size, unsigned long* field, unsigned long* sum) {
    unsigned long nt, magic, at, i, s = 0;
    if (size > PE_CHECKSUM_MAX_SIZE) return "larger than 64 MiB";
    if (size < 0x40 || file[0] != 'M' || file[1] != 'Z') return "not a PE image: no MZ header";
    nt = le32(file + 0x3c);
    /* PE signature, file header (20 bytes), optional header up to and
     * including CheckSum (68 bytes). */
    if (nt > size || size - nt < 4 + 20 + 68) return "not a PE image: its PE header lies outside the file";
    if (memcmp(file + nt, "PE\0\0", 4) != 0) return "not a PE image: no PE signature";
    magic = (unsigned long)file[nt + 24] | (unsigned long)file[nt + 25] << 8;
    if (magic != 0x10b && magic != 0x20b) return "not a PE32 or PE32+ image: unknown optional header magic";
    /* SizeOfOptionalHeader: a header too short to hold CheckSum leaves its
     * offset to whatever follows (the section table), which is not ours to
     * overwrite. */
    if (((unsigned long)file[nt + 20] | (unsigned long)file[nt + 21] << 8) < 68)
        return "not a PE image this can fix: its optional header is too short to hold CheckSum";
    at = nt + 24 + 64; /* CheckSum, at the same offset in PE32 and PE32+ */
    /* The 16-bit little-endian words of the file, the last one padded with
     * a zero byte, CheckSum's own bytes counted as zero; the carry folded
     * back after each addition; then the file's length added. */
    for (i = 0; i < size; i += 2) {
        unsigned long lo = file[i], hi = i + 1 < size ? file[i + 1] : 0;
        if (i >= at && i < at + 4) lo = 0;
        if (i + 1 >= at && i + 1 < at + 4) hi = 0;
        s += lo | hi << 8;
        s = (s & 0xffff) + (s >> 16);
    }
    s = (s & 0xffff) + (s >> 16);
    *field = at;
    *sum = (s + size) & 0xffffffffUL;
    return NULL;
}

#ifndef PE_CHECKSUM_NO_MAIN
/* The file's name as given, its control bytes escaped (\xNN), so that the
 * refusal stays one printable line whatever the name holds. */
static void print_name(const char* path) {
    const unsigned char* p;
    for (p = (const unsigned char*)path; *p; ++p) {
        if (*p < 0x20 || *p == 0x7f)
            fprintf(stderr, "\\x%02x", (unsigned)*p);
        else
            fputc(*p, stderr);
    }
}

static int refuse(const char* path, const char* why) {
    fputs("pe_checksum: ", stderr);
    print_name(path);
    fprintf(stderr, ": %s\n", why);
    return 1;
}

int main(int argc, char** argv) {
    FILE* f;
    unsigned char* data;
    unsigned char bytes[4];
    unsigned long size = 0, field = 0, sum = 0;
    size_t got;
    const char* why;
    int i;
    if (argc != 2) {
        fprintf(stderr, "usage: pe_checksum IMAGE\n");
        return 2;
    }
    f = fopen(argv[1], "rb");
    if (!f) return refuse(argv[1], "cannot open it");
    /* One byte more than the limit: a larger file is refused unread. */
    data = (unsigned char*)malloc(PE_CHECKSUM_MAX_SIZE + 1);
    if (!data) {
        fclose(f);
        return refuse(argv[1], "out of memory");
    }
    while ((got = fread(data + size, 1, PE_CHECKSUM_MAX_SIZE + 1 - size, f)) > 0) {
        size += (unsigned long)got;
        if (size > PE_CHECKSUM_MAX_SIZE) break;
    }
    if (ferror(f)) {
        fclose(f);
        free(data);
        return refuse(argv[1], "cannot read it");
    }
    fclose(f);
    why = pe_checksum_of(data, size, &field, &sum);
    free(data);
    if (why) return refuse(argv[1], why);
    for (i = 0; i < 4; ++i) bytes[i] = (unsigned char)(sum >> (8 * i));
    f = fopen(argv[1], "r+b");
    if (!f) return refuse(argv[1], "cannot open it for writing");
    if (fseek(f, (long)field, SEEK_SET) != 0 || fwrite(bytes, 1, 4, f) != 4) {
        fclose(f);
        return refuse(argv[1], "cannot write the checksum");
    }
    if (fclose(f) != 0) return refuse(argv[1], "cannot write the checksum");
    return 0;
}
#endif
