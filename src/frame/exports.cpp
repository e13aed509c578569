// The module's exported entry points. Each public export forwards its
// arguments unchanged to the routine of the same name and returns when it does.
#include "qivlapackdll2.h"

// On Windows the module definition file names the exports; elsewhere only
// these functions get default visibility, everything else is hidden.
#if defined(_WIN32)
#define QIV_EXPORT extern "C"
#else
#define QIV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QIV_EXPORT void qivcppdlltemplate_exportedtestfn(void) {}
