// Writes the demo's sample firmware image. Its content is fixed so that the demo and
// the tests can recognise it by its SHA-256:
//   byte i = (i * 7 + i / 251) & 0xFF,  for i = 0 .. size - 1
// (the i / 251 term keeps the pattern from repeating every 256 bytes).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT SIZE\n", argv[0]);
        return 2;
    }
    const long size = std::strtol(argv[2], nullptr, 10);
    if (size <= 0) {
        std::fprintf(stderr, "%s: bad size '%s'\n", argv[0], argv[2]);
        return 2;
    }
    std::vector<char> bytes(static_cast<std::size_t>(size));
    for (long i = 0; i < size; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write '%s'\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
