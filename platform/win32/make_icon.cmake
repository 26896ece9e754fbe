# Writes the program icon as resource statements for windres: the picture of a 24-bit BMP file
# (the closed toggle) in the middle of a transparent 32 x 32 tile, as one 32-bit image with an
# alpha channel and the AND mask that older Windows versions go by.
#
#   cmake -DPICTURE=<file.bmp> -DICON_ID=<resource number> -DOUTPUT=<file.rc> -P make_icon.cmake
#
# The statements are an RT_ICON resource with the image and an RT_GROUP_ICON resource that
# names it; windres takes both as raw data, so no .ico file is needed in between.

cmake_minimum_required(VERSION 3.25)

if(NOT PICTURE OR NOT ICON_ID OR NOT OUTPUT)
  message(FATAL_ERROR "make_icon.cmake needs PICTURE, ICON_ID and OUTPUT")
endif()

set(size 32)

file(READ "${PICTURE}" bmp HEX)

# The unsigned little-endian number of `bytes` bytes at `offset` of the file.
function(read_number offset bytes result)
  set(value 0)
  math(EXPR last "${bytes} - 1")
  foreach(index RANGE ${last} 0 -1)
    math(EXPR position "(${offset} + ${index}) * 2")
    string(SUBSTRING "${bmp}" ${position} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
  endforeach()
  set(${result} ${value} PARENT_SCOPE)
endfunction()

string(SUBSTRING "${bmp}" 0 4 magic)
read_number(10 4 pixel_offset)
read_number(18 4 width)
read_number(22 4 height)
read_number(28 2 bits)
read_number(30 4 compression)
if(NOT magic STREQUAL "424d" OR NOT bits EQUAL 24 OR NOT compression EQUAL 0)
  message(FATAL_ERROR "${PICTURE} is not an uncompressed 24-bit BMP file")
endif()
# A height above 2^31 is a negative one: the rows are stored top down.
set(top_down FALSE)
if(height GREATER 2147483647)
  math(EXPR height "4294967296 - ${height}")
  set(top_down TRUE)
endif()
if(width GREATER size OR height GREATER size)
  message(FATAL_ERROR "${PICTURE} is larger than ${size} x ${size}")
endif()
math(EXPR stride "(${width} * 3 + 3) / 4 * 4")
math(EXPR left "(${size} - ${width}) / 2")
math(EXPR top "(${size} - ${height}) / 2")

# Both the icon's colour image and its mask run from the bottom row up.
set(image "")
set(mask "")
math(EXPR last_row "${size} - 1")
foreach(icon_row RANGE ${last_row})
  math(EXPR y "${last_row} - ${icon_row} - ${top}")
  set(mask_bits 0)
  foreach(x RANGE ${last_row})
    math(EXPR px "${x} - ${left}")
    if(px GREATER_EQUAL 0 AND px LESS width AND y GREATER_EQUAL 0 AND y LESS height)
      if(top_down)
        set(file_row ${y})
      else()
        math(EXPR file_row "${height} - 1 - ${y}")
      endif()
      math(EXPR position "(${pixel_offset} + ${file_row} * ${stride} + ${px} * 3) * 2")
      string(SUBSTRING "${bmp}" ${position} 6 blue_green_red)
      string(APPEND image "${blue_green_red}ff")
    else()
      string(APPEND image "00000000")
      math(EXPR mask_bits "${mask_bits} | (1 << (31 - ${x}))")
    endif()
  endforeach()
  # Mask rows are 32 bits, most significant bit first, stored byte by byte.
  math(EXPR mask_row "${mask_bits}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${mask_row}" 2 -1 mask_row)
  string(LENGTH "${mask_row}" digits)
  while(digits LESS 8)
    string(PREPEND mask_row "0")
    math(EXPR digits "${digits} + 1")
  endwhile()
  string(APPEND mask "${mask_row}")
endforeach()

# BITMAPINFOHEADER: the height counts the colour image and the mask together.
math(EXPR image_bytes "${size} * ${size} * 4 + ${size} * 4")
math(EXPR resource_bytes "40 + ${image_bytes}")
math(EXPR double_size "${size} * 2")
# GRPICONDIRENTRY starts with the width and the height as one byte each.
math(EXPR size_bytes "${size} * 257" OUTPUT_FORMAT HEXADECIMAL)
set(header_words "40L, ${size}L, ${double_size}L, 1, 32, 0L, ${image_bytes}L, 0L, 0L, 0L, 0L")

# Raw data is written as 16-bit little-endian words, eight to a line.
set(data "${image}${mask}")
string(LENGTH "${data}" digits)
set(words "")
math(EXPR last_word "${digits} / 4 - 1")
foreach(index RANGE ${last_word})
  math(EXPR position "${index} * 4")
  string(SUBSTRING "${data}" ${position} 2 low)
  math(EXPR position "${position} + 2")
  string(SUBSTRING "${data}" ${position} 2 high)
  math(EXPR column "${index} % 8")
  if(column EQUAL 0)
    string(APPEND words ",\n  ")
  else()
    string(APPEND words ", ")
  endif()
  string(APPEND words "0x${high}${low}")
endforeach()

file(WRITE "${OUTPUT}" "// Written by the build from ${PICTURE}; edit that picture instead.

// RT_ICON: the ${size} x ${size} image, 32 bits per pixel, with its mask.
${ICON_ID} 3
BEGIN
  ${header_words}${words}
END

// RT_GROUP_ICON: one entry, the image above (${size} x ${size} pixels, 32 bits, ${resource_bytes} bytes).
${ICON_ID} 14
BEGIN
  0, 1, 1, ${size_bytes}, 0, 1, 32, ${resource_bytes}L, ${ICON_ID}
END
")
