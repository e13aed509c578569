// Parameters of the multishift Hessenberg QR algorithm.
#include <cmath>

#include "env/name_field.h"
#include "env/tuning.h"

namespace qiv {

namespace {

// Number of simultaneous shifts for an active block of nh rows.
int shift_count(int nh) {
    if (nh <= 29) return 2;
    if (nh <= 59) return 4;
    if (nh <= 149) return 10;
    if (nh <= 589) {
        // k = nearest integer (halves away from zero) to log2(nh), computed in
        // binary32 as ln(nh) / 0.6931472.
        const float ratio = std::log(static_cast<float>(nh)) / 0.6931472f;
        const int k = static_cast<int>(std::round(ratio));
        int ns = nh / k;
        if (ns < 10) ns = 10;
        return ns - ns % 2;
    }
    if (nh <= 2999) return 64;
    if (nh <= 5999) return 128;
    return 256;
}

}  // namespace

int IPARMQ(const int* ispec, const char* name, const char*, const int*, const int* ilo,
           const int* ihi, const int*, charlen name_len, charlen) {
    constexpr int inmin = 12, inwin = 13, inibl = 14, ishfts = 15, iacc22 = 16, icost = 17;
    const int code = *ispec;

    int nh = 0;
    int ns = 0;
    if (code == ishfts || code == inwin || code == iacc22) {
        nh = *ihi - *ilo + 1;
        ns = shift_count(nh);
    }

    switch (code) {
        case inmin:
            return 75;
        case inibl:
            return 14;
        case ishfts:
            return ns;
        case inwin:
            return nh <= 500 ? ns : 3 * ns / 2;
        case iacc22: {
            const NameField<6> sub(name, name_len);
            if (sub.at(2, "GGHRD") || sub.at(2, "GGHD3")) return nh < 14 ? 1 : 2;
            if (sub.at(4, "EXC")) return nh < 14 ? 0 : 2;
            if (sub.at(2, "HSEQR") || sub.at(2, "LAQR")) return ns < 14 ? 0 : 2;
            return 0;
        }
        case icost:
            return 10;
        default:
            return -1;
    }
}

}  // namespace qiv
