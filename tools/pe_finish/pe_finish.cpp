// SPDX-License-Identifier: Apache-2.0
// Finishes a linked kernel image: writes the PE header checksum, which
// lld-link leaves 0 and which the kernel's loader checks for drivers.
// Usage: pe_finish IMAGE
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "sim/image/pe_image.h"

int main(int argc, char** argv) {
    using namespace tov::sim::image;
    if (argc != 2) {
        std::fprintf(stderr, "usage: pe_finish IMAGE\n");
        return 2;
    }
    const char* path = argv[1];
    try {
        std::vector<uint8_t> file = read_file(path);
        const uint32_t at = checksum_offset(file);
        const uint32_t sum = pe_checksum(file);
        for (int i = 0; i < 4; ++i) file[at + i] = uint8_t(sum >> (8 * i));
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "pe_finish: cannot write %s: %s\n", path, std::strerror(errno));
            return 1;
        }
    } catch (const ImageError& e) {
        std::fprintf(stderr, "pe_finish: %s: %s\n", path, e.what());
        return 1;
    }
    return 0;
}
