// The contract between the host and its dialog module (the Qt views, built
// as a library of their own). The host stays free of Qt: it loads the module
// with dlopen the first time a dialog or message box is needed and looks up
// one C function by name. No Qt type crosses; the object that comes back is
// a dialogs::UserInterface, compiled from the same header on both sides.
#pragma once

#include <cstddef>

#include "dialogs/user_interface.h"

namespace qorv::widgets {

// File name of the module: next to the host in the build tree, in the
// package's library folder once installed.
inline constexpr char kDialogModuleFileName[] = "libqorv_dialogs_qt.so";
inline constexpr char kDialogModuleEntryName[] = "qorv_dialogs_qt_open";
inline constexpr unsigned kDialogModuleAbi = 2;  // 2: the user interface idles

struct DialogModuleOptions {
    unsigned abi = kDialogModuleAbi;  // the module refuses any other value
    // Builds with test hooks only: a scripted person's script file, or null.
    const char* scriptedPersonPath = nullptr;
};

// The entry point: opens the display (after probing that it can be opened,
// so the platform plugin never aborts the process) and returns the user
// interface, owned by the caller. Null when there is no usable display;
// `why` then holds the reason (NUL-terminated, cut to whySize).
using OpenDialogModuleFn = dialogs::UserInterface* (*)(const DialogModuleOptions* options,
                                                       char* why, std::size_t whySize);

}  // namespace qorv::widgets
