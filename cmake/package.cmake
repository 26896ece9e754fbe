# Install rules, and the package CPack makes from them (`cmake --build <build> --target package`,
# or `cpack` in the build folder). Included by the top-level CMakeLists.txt; on Linux it also
# writes the manual page and the compressed changelogs the package holds.
#
#   Linux:   dravix_<version>_amd64.deb, a system-wide install under /usr: the program built
#            against the distribution's shared libraries in /usr/bin, its manual page, its menu
#            entry and AppStream metadata, its icon in the hicolor theme (tools/CMakeLists.txt),
#            the licence, the changelogs and the README. No user may write to /usr/bin, so the
#            program keeps its stored files in each user's settings folder (~/.config/dravix).
#   Windows: dravix-<version>-win64.zip, holding one folder with dravix.exe, a README and the
#            licence, to be unpacked where the user may write, so that the stored files are kept
#            beside it.
#
# The packaged program is stripped; the one in the build folder keeps its symbols.

include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME dravix)
set(CPACK_PACKAGE_VENDOR "The Dravix developers")
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
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  # The program built against Debian's shared libraries (app/CMakeLists.txt), so that the
  # distribution's fixes to FLTK and the libraries below it reach it.
  install(TARGETS dravix_shared RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The screen-reader module, where the program looks for it: lib/dravix/modules beside bin (a
  # folder below lib/dravix, which holds no library for ldconfig to know). It links
  # ATK and GLib; the AT-SPI bridge it loads at run time, so the package recommends the bridge
  # rather than depending on it, and a desktop without it simply has no screen-reader support.
  if(TARGET dravix_atspi)
    install(TARGETS dravix_atspi LIBRARY DESTINATION lib/dravix/modules)
  endif()
  # The same entry as scripts/install.sh writes, which puts its own program's path in Exec.
  install(FILES ${dravix_packaging}/dravix.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${dravix_packaging}/org.dravix.dravix.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  set(DRAVIX_PACKAGE_MAINTAINER "The Dravix developers <dravix@example.org>"
      CACHE STRING "The Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DRAVIX_PACKAGE_MAINTAINER}")
  # dravix_<version>_amd64.deb, the architecture as dpkg names it. The packaging lives in the
  # source tree, so the package is a native one: its version is the project's, with no Debian
  # revision, and its Debian changelog is changelog.gz.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The packages of the shared libraries the program links (FLTK, the X libraries, fontconfig and
  # through it a font, the C++ runtime), as dpkg-shlibdeps (dpkg-dev) finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # What a slot's document and desktop entry are opened with, the bridge that puts the strip
  # before a screen reader, and the desktop file choosers the program uses where they are
  # installed.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libglib2.0-bin, libatk-bridge2.0-0")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity | kdialog")
  # Folders as Debian's policy has them, whatever the umask of the one who builds.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
      GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

  # The manual page (also for scripts/install.sh, which installs <build>/dravix.1) and the Debian
  # changelog, each compressed as the policy asks: gzip at its highest level, with no name or
  # time stamp in the header so that the package is reproducible.
  set(dravix_documents ${PROJECT_BINARY_DIR}/packaging)
  configure_file(${dravix_packaging}/dravix.1.in ${PROJECT_BINARY_DIR}/dravix.1 @ONLY)
  configure_file(${dravix_packaging}/changelog.Debian.in ${dravix_documents}/changelog.Debian
                 @ONLY)
  set(dravix_compressed "")
  foreach(pair IN ITEMS "${PROJECT_BINARY_DIR}/dravix.1|dravix.1.gz"
                        "${dravix_documents}/changelog.Debian|changelog.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 target)
    add_custom_command(
      OUTPUT ${dravix_documents}/${target}
      COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" sh ${source} ${dravix_documents}/${target}
      DEPENDS ${source}
      VERBATIM)
    list(APPEND dravix_compressed ${dravix_documents}/${target})
  endforeach()
  add_custom_target(dravix_documents ALL DEPENDS ${dravix_compressed})
  install(FILES ${dravix_documents}/dravix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${dravix_packaging}/copyright ${dravix_documents}/changelog.gz
                ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # The README's links lead into docs/, so the pages and their pictures come along.
  file(GLOB dravix_doc_pages ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
  install(FILES ${dravix_doc_pages} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
endif()

include(CPack)
