#include "host/build_info.h"

#if !defined(QORV_FILE_VERSION) || !defined(QORV_DEVELOPMENT_BUILD)
#error "QORV_FILE_VERSION and QORV_DEVELOPMENT_BUILD must be defined by the build"
#endif

namespace qorv::host {

bool IsDevelopmentBuild() {
    return QORV_DEVELOPMENT_BUILD != 0;
}

void PrintVersion(std::FILE* out) {
    std::fprintf(out, "qorvclientatm-host %s\n", QORV_FILE_VERSION);
    if (IsDevelopmentBuild()) {
        std::fputs(
            "development build: the development extension and keys/dev are trusted where the "
            "build names no others; not for customers\n",
            out);
    } else {
        std::fputs("bank build: trusts the bank's extension and keys\n", out);
    }
#ifdef QORV_TEST_HOOKS
    std::fputs(
        "test hooks: a scripted person and test requests can drive the windows; "
        "not for customers\n",
        out);
#endif
}

void WarnIfDevelopmentBuild(std::FILE* err) {
    if (!IsDevelopmentBuild()) return;
    std::fputs(
        "qorvclientatm-host: development build (development extension and keys); "
        "not for customers\n",
        err);
    std::fflush(err);
}

}  // namespace qorv::host
