#include "frame/xerbla.h"

#include <cstdio>
#include <cstdlib>

namespace qiv {

namespace {
std::size_t append(char* buf, std::size_t pos, const char* text) {
    while (*text != '\0') buf[pos++] = *text++;
    return pos;
}
}  // namespace

std::size_t format_xerbla_line(char* buf, const char* srname, int info, charlen srname_len) {
    // Names longer than this never occur; cap so the buffer bound holds.
    charlen len = srname_len > 64 ? 64 : srname_len;
    while (len > 0 && srname[len - 1] == ' ') --len;

    std::size_t pos = append(buf, 0, " ** On entry to ");
    for (charlen k = 0; k < len; ++k) buf[pos++] = srname[k];
    pos = append(buf, pos, " parameter number ");
    if (info >= 10 && info <= 99) {
        buf[pos++] = static_cast<char>('0' + info / 10);
        buf[pos++] = static_cast<char>('0' + info % 10);
    } else if (info >= 0 && info <= 9) {
        buf[pos++] = ' ';
        buf[pos++] = static_cast<char>('0' + info);
    } else if (info >= -9 && info <= -1) {
        buf[pos++] = '-';
        buf[pos++] = static_cast<char>('0' - info);
    } else {
        buf[pos++] = '*';
        buf[pos++] = '*';
    }
    pos = append(buf, pos, " had ");
    pos = append(buf, pos, "an illegal value");
    buf[pos] = '\0';
    return pos;
}

void XERBLA(const char* srname, const int* info, charlen srname_len) {
    char line[128];
    const std::size_t n = format_xerbla_line(line, srname, *info, srname_len);
    line[n] = '\n';
    std::fwrite(line, 1, n + 1, stdout);
    std::fflush(stdout);
    std::exit(0);
}

}  // namespace qiv
