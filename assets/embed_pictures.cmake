# Writes a C++ source file that holds the bytes of BMP files as constant arrays, so that the
# program carries its pictures and reads nothing from disk for them.
#
#   cmake -DNAMES=k1,k2,... -DSOURCE_DIR=<folder of the .bmp files> -DOUTPUT=<file.cpp>
#         -P embed_pictures.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT NAMES OR NOT SOURCE_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "embed_pictures.cmake needs NAMES, SOURCE_DIR and OUTPUT")
endif()
string(REPLACE "," ";" names "${NAMES}")

# Twenty bytes to a line keeps the generated file readable in an editor.
string(REPEAT "0x[0-9a-f][0-9a-f], " 20 twenty_bytes)

set(arrays "")
set(table "")
foreach(name IN LISTS names)
  set(path "${SOURCE_DIR}/${name}.bmp")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "missing picture ${path}")
  endif()
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${hex}")
  string(REGEX REPLACE "(${twenty_bytes})" "\\1\n    " bytes "${bytes}")
  string(REPLACE ", \n" ",\n" bytes "${bytes}")
  string(REGEX REPLACE "[ \n]+$" "" bytes "${bytes}")
  string(APPEND arrays "static const unsigned char ${name}_bmp[] = {\n    ${bytes}\n};\n\n")
  string(APPEND table "    {\"${name}\", ${name}_bmp},\n")
endforeach()

set(content "// Written by the build from the BMP files in the assets folder; edit those instead.

#include \"assets/embedded_pictures.h\"

namespace dravix {

namespace {

${arrays}const EmbeddedFile files[] = {
${table}};

} // namespace

std::span<const EmbeddedFile> embeddedPictureFiles() { return files; }

} // namespace dravix
")

file(WRITE "${OUTPUT}" "${content}")
