/* SPDX-License-Identifier: Apache-2.0 */
/* The PE checksum of an image file in memory (C89, also C++). */
#ifndef PE_CHECKSUM_H
#define PE_CHECKSUM_H

/* The largest file pe_checksum reads. */
#define PE_CHECKSUM_MAX_SIZE (64UL * 1024UL * 1024UL)

/* On success NULL, the file offset of the optional header's CheckSum field
 * in *field and the checksum the field must hold in *sum; otherwise the
 * reason the file is no PE image, one line. Reads only file[0..size). */
const char* pe_checksum_of(const unsigned char* file, unsigned long size, unsigned long* field, unsigned long* sum);

#endif
