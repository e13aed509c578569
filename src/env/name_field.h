// Fixed-width, upper-cased copies of routine names for the tuning queries.
#pragma once

#include <cstring>

#include "frame/types.h"

namespace qiv {

// A blank-padded copy of the first W characters of a name, with the library's
// upper-casing rule: only when the first character is a lower-case ASCII letter
// are it and the lower-case letters among characters 2 to 6 raised.
template <int W>
struct NameField {
    char c[W];

    NameField(const char* name, charlen len) {
        for (int k = 0; k < W; ++k) c[k] = static_cast<charlen>(k) < len ? name[k] : ' ';
        if (c[0] >= 'a' && c[0] <= 'z') {
            for (int k = 0; k < 6 && k < W; ++k)
                if (c[k] >= 'a' && c[k] <= 'z') c[k] = static_cast<char>(c[k] - 32);
        }
    }

    // True when characters first..first+len-1 (1-based) equal text.
    bool at(int first, const char* text) const {
        const std::size_t n = std::strlen(text);
        return std::memcmp(c + first - 1, text, n) == 0;
    }
};

}  // namespace qiv
