# Install rules, and the package CPack makes from them (`cmake --build <build> --target package`,
# or `cpack` in the build folder). Included by the top-level CMakeLists.txt; the build itself does
# not change.
#
#   Linux:   dravix_<version>_amd64.deb, a system-wide install under /usr: the program in
#            /usr/bin, its menu entry, its icon in the hicolor theme (tools/CMakeLists.txt) and
#            the README. No user may write to /usr/bin, so the program keeps its stored files in
#            each user's settings folder (~/.config/dravix).
#   Windows: dravix-<version>-win64.zip, holding one folder with dravix.exe and a README, to be
#            unpacked where the user may write, so that the stored files are kept beside it.
#
# The packaged program is stripped; the one in the build folder keeps its symbols.

include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME dravix)
set(CPACK_PACKAGE_VENDOR "the Dravix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher strip of ten slots for programs and documents")
# One string: the lines of the package's long description, each under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "At rest Dravix is a single small toggle button with no frame, parked\n"
       "wherever it was left. Behind it are ten slots, each holding a program,\n"
       "a script, a document or a folder, which a click starts or opens.")
set(CPACK_STRIP_FILES ON)
set(dravix_packaging ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  # CPack names a 64-bit Windows target win64: dravix-<version>-win64.zip, whose one folder has
  # the same name.
  set(CPACK_GENERATOR ZIP)
  install(TARGETS dravix RUNTIME DESTINATION .)
  configure_file(${dravix_packaging}/README-windows.txt.in ${PROJECT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  install(TARGETS dravix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The same entry as scripts/install.sh writes, which puts its own program's path in Exec.
  install(FILES ${dravix_packaging}/dravix.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${dravix_packaging}/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(DRAVIX_PACKAGE_MAINTAINER "Dravix developers <dravix@example.org>"
      CACHE STRING "The Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DRAVIX_PACKAGE_MAINTAINER}")
  # dravix_<version>_amd64.deb, the architecture as dpkg names it.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  # The packages of the shared libraries the program links (the X libraries, FLTK where it is
  # not linked statically), as dpkg-shlibdeps (dpkg-dev) finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # What a slot's document and desktop entry are opened with, and the desktop file choosers the
  # program uses where they are installed.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libglib2.0-bin")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity | kdialog")
endif()

include(CPack)
