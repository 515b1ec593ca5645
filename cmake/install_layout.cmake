# Where an installation puts things. The host goes to the binary folder; the
# modules it and installers load (libqorvclientatm.so, the dialogs' module)
# go to a private folder, since no other program links them.
include(GNUInstallDirs)
set(QORV_INSTALL_MODULEDIR "${CMAKE_INSTALL_LIBDIR}/qorvclientatm" CACHE STRING
    "Folder (under the prefix) of the modules loaded at run time")
set(QORV_INSTALLED_HOST_PATH "${CMAKE_INSTALL_FULL_BINDIR}/qorvclientatm-host")
set(QORV_INSTALLED_MODULEDIR "${CMAKE_INSTALL_PREFIX}/${QORV_INSTALL_MODULEDIR}")
