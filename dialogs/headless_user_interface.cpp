#include <cstdio>

#include "base/utf16.h"
#include "dialogs/user_interface.h"

namespace qorv::dialogs {

void HeadlessUserInterface::ShowMessage(const std::u16string& text, const std::u16string& caption) {
    std::fprintf(stderr, "[%s] %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
}

int HeadlessUserInterface::CancelWithoutPerson(const char* dialog) const {
    std::fprintf(stderr, "qorvclientatm-host: %s cancelled: %s\n", dialog, why_.c_str());
    return kDialogCancelled;
}

}  // namespace qorv::dialogs
