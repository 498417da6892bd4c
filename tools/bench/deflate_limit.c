/* deflate_limit DIRECTORY: the fastest the archive's compression can be with zlib. Reads every regular
   file below DIRECTORY in 16 384-byte blocks, computes crc32 and raw deflate with the archive's
   parameters (one stream per file, as the writer does), discards the output and prints
   "files input_bytes deflated_bytes". */
#define _XOPEN_SOURCE 700
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

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

static int OneFile(const char* path, const struct stat* st, int kind, struct FTW* ftw) {
    z_stream z;
    uLong crc;
    ssize_t got;
    int fd;
    (void)st;
    (void)ftw;
    if (kind != FTW_F) return 0;
    fd = open(path, O_RDONLY);
    if (fd < 0) return perror(path), 1;
    memset(&z, 0, sizeof z);
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 1;
    crc = crc32(0, Z_NULL, 0);
    while ((got = read(fd, in, kBlock)) > 0) {
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

int main(int argc, char** argv) {
    if (argc != 2) return fputs("usage: deflate_limit DIRECTORY\n", stderr), 1;
    if (nftw(argv[1], OneFile, 64, FTW_PHYS) != 0) return 1;
    printf("%llu %llu %llu %08lx\n", files, inBytes, outBytes, crcSum);
    return 0;
}
