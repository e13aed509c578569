// Option letters: first characters compared with ASCII case folding.
#pragma once

#include "frame/types.h"

namespace qiv {

// True when the first characters of ca and cb agree, ignoring the case of the
// 26 ASCII letters. Only the first character of each string is read.
bool LSAME(const char* ca, const char* cb, charlen la = 1, charlen lb = 1);

}  // namespace qiv
