# Fails when a source file of the core includes a backend or anything from outside the core: the
# core reaches the desktop only through platform/desktop.h, and of the system only through the
# C++ standard library, so that one core builds for every backend.
#
#   cmake -DROOT=<project folder> -P check_layering.cmake
#
# Tests are exempt (they drive the core through the fake desktop), and so is the program's
# entry, which is where a backend is chosen.

set(core_folders app strip slots glyphs keyboard state assets)
set(allowed_quoted "^(app|strip|slots|glyphs|keyboard|state|assets)/|^platform/desktop\\.h$")
# Standard C++ headers have no extension and no folder; anything else is a toolkit's or the
# system's (FL/Fl.H, X11/Xlib.h, windows.h, unistd.h, ...).
set(allowed_angled "^[a-z_]+$")

set(violations "")
foreach(folder IN LISTS core_folders)
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    if(source MATCHES "_test\\.cpp$" OR source MATCHES "^app/main[^/]*\\.cpp$")
      continue()
    endif()
    file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "<([^>]+)>")
        if(NOT CMAKE_MATCH_1 MATCHES "${allowed_angled}")
          list(APPEND violations "${source}: ${line}")
        endif()
      elseif(line MATCHES "\"([^\"]+)\"")
        if(NOT CMAKE_MATCH_1 MATCHES "${allowed_quoted}")
          list(APPEND violations "${source}: ${line}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " listed)
  message(FATAL_ERROR "The core includes what lies outside it:\n  ${listed}")
endif()
