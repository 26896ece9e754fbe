# Writes a C++ source file that holds the bytes of BMP files as one constant array, so that the
# program carries its pictures and reads nothing from disk for them.
#
#   cmake -DNAMES=k1,k2,... -DSOURCE_DIR=<folder of the .bmp files> -DOUTPUT=<file.cpp>
#         -DBLOCK=<bytes> -P embed_pictures.cmake
#
# The files lie one after the other in the order named, in blocks of BLOCK bytes of their own:
# where the system brings a program's pages into memory a block at a time (64 KiB on Linux), the
# first files named, those shown at the start, come in without the rest, and nothing else in the
# program brings in a picture.

cmake_minimum_required(VERSION 3.25)

if(NOT NAMES OR NOT SOURCE_DIR OR NOT OUTPUT OR NOT BLOCK)
  message(FATAL_ERROR "embed_pictures.cmake needs NAMES, SOURCE_DIR, OUTPUT and BLOCK")
endif()
string(REPLACE "," ";" names "${NAMES}")

# The little-endian number of `length` bytes at `offset` of a file read as hex.
function(number_at hex offset length out)
  math(EXPR start "2 * ${offset}")
  set(digits "")
  math(EXPR last "${length} - 1")
  foreach(i RANGE ${last})
    math(EXPR at "${start} + 2 * ${i}")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    set(digits "${byte}${digits}")
  endforeach()
  math(EXPR value "0x${digits}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# Twenty bytes to a line keeps the generated file readable in an editor.
string(REPEAT "0x[0-9a-f][0-9a-f], " 20 twenty_bytes)

set(arrays "")
set(table "")
set(offset 0)
foreach(name IN LISTS names)
  set(path "${SOURCE_DIR}/${name}.bmp")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "missing picture ${path}")
  endif()
  file(READ "${path}" hex HEX)
  # The header is read here, so that the program finds each picture's size and rows without
  # reading its bytes (which would bring every picture's pages into memory at the start): an
  # uncompressed 24-bit BMP stored bottom row first, as the assets are drawn.
  string(LENGTH "${hex}" hex_length)
  math(EXPR file_size "${hex_length} / 2")
  if(file_size LESS 54 OR NOT hex MATCHES "^424d")
    message(FATAL_ERROR "${path} is no BMP file")
  endif()
  number_at("${hex}" 10 4 pixels_at)
  number_at("${hex}" 18 4 width)
  number_at("${hex}" 22 4 height)
  number_at("${hex}" 28 2 bits)
  number_at("${hex}" 30 4 compression)
  math(EXPR stride "(3 * ${width} + 3) / 4 * 4")
  math(EXPR needed "${pixels_at} + ${stride} * ${height}")
  if(NOT bits EQUAL 24 OR NOT compression EQUAL 0 OR width EQUAL 0 OR height EQUAL 0
     OR width GREATER 65535 OR height GREATER 65535 OR needed GREATER file_size)
    message(FATAL_ERROR "${path} is not an uncompressed, bottom-up 24-bit BMP")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${hex}")
  string(REGEX REPLACE "(${twenty_bytes})" "\\1\n    " bytes "${bytes}")
  string(REPLACE ", \n" ",\n" bytes "${bytes}")
  string(REGEX REPLACE "[, \n]+$" "" bytes "${bytes}")
  string(APPEND arrays "    // ${name}.bmp\n    ${bytes},\n")
  string(APPEND table "    {\"${name}\", {pictures + ${offset}, ${file_size}}, ${width}, ${height}, "
                      "${pixels_at}, ${stride}},\n")
  math(EXPR offset "${offset} + ${file_size}")
endforeach()

math(EXPR padded_size "(${offset} + ${BLOCK} - 1) / ${BLOCK} * ${BLOCK}")

set(content "// Written by the build from the BMP files in the assets folder; edit those instead.

#include \"assets/embedded_pictures.h\"

namespace dravix {

namespace {

// Every file, one after the other in the order they were named, in blocks of ${BLOCK} bytes.
alignas(${BLOCK}) const unsigned char pictures[${padded_size}] = {
${arrays}};

const EmbeddedFile files[] = {
${table}};

} // namespace

std::span<const EmbeddedFile> embeddedPictureFiles() { return files; }

} // namespace dravix
")

file(WRITE "${OUTPUT}" "${content}")
