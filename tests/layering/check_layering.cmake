# Fails when a source file includes a folder that lies above it, or beside it, in the layers:
#
#   cmake -DROOT=<project folder> -P check_layering.cmake
#
# Each folder may include only itself, the folders listed for it below and the C++ standard
# library. The core (every folder but the backends) reaches the desktop only through the ports in
# platform/, and of the system only through the standard library, so that one core builds for
# every backend. A backend includes the ports, the pictures and the platform's own helpers, never
# the core above them. Tests and their fixture (app/core_fixture.h), benchmarks and tools are
# exempt (they drive the core through the fake desktop), and so is the program's entry, which is
# where a backend is chosen.

cmake_minimum_required(VERSION 3.25)

# The layers from the bottom up: a folder and the folders (or single headers) it may include.
set(layers
  "assets:"
  "platform:assets"
  "scene:assets platform"
  "state:platform/place.h platform/system_port.h"
  "keyboard:"
  "strip:platform scene"
  "slots:platform scene state"
  "glyphs:scene state"
  "access:platform scene state"
  "app:platform scene state keyboard strip slots glyphs access"
  "platform/posix:platform"
  "platform/x11:platform/scale.h"
  "platform/fake:platform assets"
  "platform/atspi:platform"
  "platform/fltk:platform platform/posix platform/x11 platform/atspi assets"
  "platform/win32:platform")
# Folders whose files may include system and toolkit headers in angle brackets.
set(backends platform/posix platform/x11 platform/atspi platform/fltk platform/win32)
# Standard C++ headers have no extension and no folder; anything else is a toolkit's or the
# system's (FL/Fl.H, X11/Xlib.h, windows.h, unistd.h, ...).
set(standard_header "^[a-z_]+$")

set(folders "")
foreach(layer IN LISTS layers)
  string(REPLACE ":" ";" parts "${layer}")
  list(GET parts 0 folder)
  list(LENGTH parts part_count)
  set(allowed_${folder} "${folder}")
  if(part_count GREATER 1)
    list(GET parts 1 below)
    string(REPLACE " " ";" below "${below}")
    list(APPEND allowed_${folder} ${below})
  endif()
  list(APPEND folders ${folder})
endforeach()

# The folder of the layers that holds a path: the longest one that is a prefix of it.
function(layer_of path out)
  set(found "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}" length)
    string(LENGTH "${found}" found_length)
    if(path MATCHES "^${folder}/" AND length GREATER found_length)
      set(found "${folder}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(violations "")
foreach(folder IN LISTS folders)
  file(GLOB sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    if(source MATCHES "_test\\.cpp$" OR source MATCHES "_fixture\\.h$" OR source MATCHES "^app/main[^/]*\\.cpp$")
      continue()
    endif()
    file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "<([^>]+)>")
        if(NOT CMAKE_MATCH_1 MATCHES "${standard_header}" AND NOT folder IN_LIST backends)
          list(APPEND violations "${source}: ${line}")
        endif()
      elseif(line MATCHES "\"([^\"]+)\"")
        set(header "${CMAKE_MATCH_1}")
        layer_of("${header}" included)
        if(NOT included IN_LIST allowed_${folder} AND NOT header IN_LIST allowed_${folder})
          list(APPEND violations "${source}: ${line}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " listed)
  message(FATAL_ERROR "Includes outside the layers:\n  ${listed}")
endif()
