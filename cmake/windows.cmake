# Settings of the Windows build (cross-compiled with cmake/mingw-w64-x86_64.cmake). Included by
# the top-level CMakeLists.txt when the target system is Windows.

enable_language(RC)

# Every executable carries the C++ runtime, libgcc and winpthread, so that dravix.exe and the
# test programs need no DLL beyond those of Windows itself.
add_link_options(-static -static-libgcc -static-libstdc++)

if(NOT DRAVIX_TESTS)
  return()
endif()

# Debian's libgtest-dev holds Linux libraries only, but it ships the sources too: GoogleTest is
# built here with the cross compiler. Its targets come with the GTest:: names the tests use.
set(dravix_googletest_source /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(NOT EXISTS ${dravix_googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${dravix_googletest_source} "
                      "(Debian package googletest, pulled in by libgtest-dev)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${dravix_googletest_source} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The test programs run under Wine, in a prefix of this build's own that the first test makes
# (tests/win32). CTest puts the emulator before every test command that names a built program.
find_program(DRAVIX_WINE wine REQUIRED)
set(DRAVIX_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
# A second prefix whose screen has 192 DPI, twice the usual density, for the tests of scaling.
set(DRAVIX_DENSE_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix-192dpi)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/win32/wine-run.sh
                                  ${DRAVIX_WINEPREFIX})
