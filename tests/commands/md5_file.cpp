// md5_file PATH: prints the md5Hex digest of the file, its size and the
// seconds the digest took (for the md5sum comparison and the benchmark).
#include <windows.h>

#include <cstdio>

#include "runtime/commands/commands.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    rt::cmd::OwnedBytes bytes = rt::cmd::readFile(argv[1]);
    if (!bytes) return 3;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    rt::cmd::OwnedText digest = rt::cmd::md5Hex(bytes.get());
    QueryPerformanceCounter(&end);
    std::printf("%s %u %.6f\n", digest.get(), rt::byteSetLength(bytes.get()),
                static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    return 0;
}
