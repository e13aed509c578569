// The general tuning query: block sizes, minimum block sizes, crossover points
// and fixed settings, by the name of the asking routine.
#include <cstdint>

#include "env/name_field.h"
#include "env/tuning.h"

namespace qiv {

namespace {

struct ParsedName {
    NameField<16> f;
    bool real, complex;

    ParsedName(const char* name, charlen len) : f(name, len) {
        real = f.c[0] == 'S' || f.c[0] == 'D';
        complex = f.c[0] == 'C' || f.c[0] == 'Z';
    }
    bool type(const char* t) const { return f.at(2, t); }  // characters 2-3
    bool op(const char* o) const { return f.at(4, o); }    // characters 4-6
    bool tail(const char* t) const { return f.at(5, t); }  // characters 5-6
    bool two_stage() const { return f.c[10] == '2'; }
    bool orthogonal_family() const {  // "OR" for real names, "UN" for complex ones
        return (real && type("OR")) || (complex && type("UN"));
    }
    bool qr_like_tail() const {
        return tail("QR") || tail("RQ") || tail("LQ") || tail("QL") || tail("HR") || tail("TR") ||
               tail("BR");
    }
};

int qr_block(int n1, int n2) {
    if (static_cast<std::int64_t>(n1) * n2 <= 131072 || n1 <= 8192) return n1;
    return 32768 / n2;
}

int block_size(const ParsedName& p, int n1, int n2, int n3, int n4) {
    if (p.f.at(2, "LAORH")) return 32;
    if (p.type("GE")) {
        if (p.op("TRF")) return 64;
        if (p.op("QRF") || p.op("RQF") || p.op("LQF") || p.op("QLF")) return 32;
        if (p.op("QR ")) return n3 == 1 ? qr_block(n1, n2) : 1;
        if (p.op("LQ ")) return n3 == 2 ? qr_block(n1, n2) : 1;
        if (p.op("HRD") || p.op("BRD")) return 32;
        if (p.op("TRI")) return 64;
    }
    if (p.type("PO") && p.op("TRF")) return 64;
    if (p.type("SY")) {
        if (p.op("TRF")) return p.two_stage() ? 192 : 64;
        if (p.real && p.op("TRD")) return 32;
        if (p.real && p.op("GST")) return 64;
    }
    if (p.complex && p.type("HE")) {
        if (p.op("TRF")) return p.two_stage() ? 192 : 64;
        if (p.op("TRD")) return 32;
        if (p.op("GST")) return 64;
    }
    if (p.orthogonal_family() && (p.f.c[3] == 'G' || p.f.c[3] == 'M') && p.qr_like_tail())
        return 32;
    if (p.type("GB") && p.op("TRF")) return n4 <= 64 ? 1 : 32;
    if (p.type("PB") && p.op("TRF")) return n2 <= 64 ? 1 : 32;
    if (p.type("TR")) {
        if (p.op("TRI") || p.op("EVC")) return 64;
        if (p.op("SYL")) {
            const int m = n1 < n2 ? n1 : n2;
            if (p.real) {
                const int v = (16 * m) / 100;
                return v < 48 ? 48 : (v > 240 ? 240 : v);
            }
            if (p.complex) {
                const int v = (8 * m) / 100;
                return v < 24 ? 24 : (v > 80 ? 80 : v);
            }
        }
    }
    if (p.type("LA")) {
        if (p.op("UUM")) return 64;
        if (p.op("TRS")) return 32;
    }
    if (p.type("GG")) return 32;
    return 1;
}

int crossover(const ParsedName& p) {
    if (p.type("GE") &&
        (p.op("QRF") || p.op("RQF") || p.op("LQF") || p.op("QLF") || p.op("HRD") || p.op("BRD")))
        return 128;
    if (p.real && p.type("SY") && p.op("TRD")) return 32;
    if (p.complex && p.type("HE") && p.op("TRD")) return 32;
    if (p.orthogonal_family() && p.f.c[3] == 'G' && p.qr_like_tail()) return 128;
    if (p.type("GG")) return 128;
    return 0;
}

}  // namespace

int ILAENV(const int* ispec, const char* name, const char* opts, const int* n1, const int* n2,
           const int* n3, const int* n4, charlen name_len, charlen opts_len) {
    const int code = *ispec;
    if (code >= 1 && code <= 3) {
        const ParsedName p(name, name_len);
        if (!p.real && !p.complex) return 1;
        if (code == 1) return block_size(p, *n1, *n2, *n3, *n4);
        if (code == 2) return (p.type("SY") && p.op("TRF")) ? 8 : 2;
        return crossover(p);
    }
    switch (code) {
        case 4:
            return 6;
        case 5:
            return 2;
        case 6: {
            const int m = *n1 < *n2 ? *n1 : *n2;
            const float v = static_cast<float>(m) * 1.6f;
            return static_cast<int>(v);
        }
        case 7:
            return 1;
        case 8:
            return 50;
        case 9:
            return 25;
        case 10: {
            const int mode = 1;
            const float zero = 0.0f, one = 1.0f;
            return IEEECK(&mode, &zero, &one);
        }
        case 11: {
            const int mode = 0;
            const float zero = 0.0f, one = 1.0f;
            return IEEECK(&mode, &zero, &one);
        }
        case 12:
        case 13:
        case 14:
        case 15:
        case 16:
        case 17:
            return IPARMQ(ispec, name, opts, n1, n2, n3, n4, name_len, opts_len);
        default:
            return -1;
    }
}

}  // namespace qiv
