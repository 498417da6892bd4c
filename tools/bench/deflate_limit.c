/* deflate_limit DIRECTORY: the fastest the archive's compression can be with zlib. Reads every regular
   file below DIRECTORY in 16 384-byte blocks, computes crc32 and raw deflate with the archive's
   parameters (one stream per file, as the writer does), discards the output and prints
   "files input_bytes deflated_bytes crc_xor seconds" (seconds of the walk itself, without the process
   start, which under Wine is not small). Portable C (POSIX and MinGW's C runtime), so that the
   Windows build measures the Windows zlib behind Wine's reads. */
#define _XOPEN_SOURCE 700
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#ifdef _WIN32
#include <windows.h>
static double Now(void) {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}
#else
#include <time.h>
static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

enum { kBlock = 16384, kOut = 65536 };

static unsigned char in[kBlock];
static unsigned char out[kOut];
static unsigned long long files, inBytes, outBytes;
static unsigned long crcSum; /* used, so the compiler cannot drop the CRC */

static int Drain(z_stream* z, int flush) {
    int result;
    do {
        z->next_out = out;
        z->avail_out = kOut;
        result = deflate(z, flush);
        if (result == Z_STREAM_ERROR) return -1;
        outBytes += (unsigned long long)(kOut - z->avail_out);
    } while (flush == Z_FINISH ? result != Z_STREAM_END : z->avail_out == 0);
    return 0;
}

static int OneFile(const char* path) {
    z_stream z;
    uLong crc;
    long got;
    int fd;
    fd = open(path, O_RDONLY | O_BINARY);
    if (fd < 0) return perror(path), 1;
    memset(&z, 0, sizeof z);
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 1;
    crc = crc32(0, Z_NULL, 0);
    while ((got = (long)read(fd, in, kBlock)) > 0) {
        crc = crc32(crc, in, (uInt)got);
        inBytes += (unsigned long long)got;
        z.next_in = in;
        z.avail_in = (uInt)got;
        if (Drain(&z, Z_NO_FLUSH) != 0) return 1;
    }
    if (got < 0 || Drain(&z, Z_FINISH) != 0) return perror(path), 1;
    deflateEnd(&z);
    close(fd);
    crcSum ^= crc;
    ++files;
    return 0;
}

/* Every regular file below dir, depth first; symbolic links are not followed where there are any. */
static int Walk(const char* dir) {
    DIR* d = opendir(dir);
    struct dirent* e;
    int failed = 0;
    if (d == NULL) return perror(dir), 1;
    while (!failed && (e = readdir(d)) != NULL) {
        struct stat st;
        size_t size;
        char* path;
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
        size = strlen(dir) + strlen(e->d_name) + 2;
        path = malloc(size);
        if (path == NULL) return closedir(d), 1;
        snprintf(path, size, "%s/%s", dir, e->d_name);
#ifdef _WIN32
        failed = stat(path, &st) != 0;
#else
        failed = lstat(path, &st) != 0;
#endif
        if (!failed && S_ISDIR(st.st_mode))
            failed = Walk(path);
        else if (!failed && S_ISREG(st.st_mode))
            failed = OneFile(path);
        free(path);
    }
    closedir(d);
    return failed;
}

int main(int argc, char** argv) {
    if (argc != 2) return fputs("usage: deflate_limit DIRECTORY\n", stderr), 1;
    double start = Now();
    if (Walk(argv[1]) != 0) return 1;
    printf("%llu %llu %llu %08lx %.3f\n", files, inBytes, outBytes, crcSum, Now() - start);
    return 0;
}
