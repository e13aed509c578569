#include "frame/lsame.h"

namespace qiv {

namespace {
unsigned fold(unsigned char c) { return (c >= 97 && c <= 122) ? c - 32u : c; }
}  // namespace

bool LSAME(const char* ca, const char* cb, charlen, charlen) {
    const auto a = static_cast<unsigned char>(ca[0]);
    const auto b = static_cast<unsigned char>(cb[0]);
    if (a == b) return true;
    return fold(a) == fold(b);
}

}  // namespace qiv
