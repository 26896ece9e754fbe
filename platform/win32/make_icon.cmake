# Writes the program icon as resource statements for windres: one image of every size in SIZES
# drawn from the picture of a 24-bit BMP file (the closed toggle) as squareIcon draws it
# (platform/icon.h): enlarged by the largest whole factor that fits, or shrunk to fit where not
# even its own size does, by nearest neighbour either way, and centred on transparent pixels.
# Each image has 32 bits per pixel with an alpha channel, and the AND mask that older Windows
# versions go by.
#
#   cmake -DPICTURE=<file.bmp> -DICON_ID=<resource number> -DSIZES=16,24,...
#         -DOUTPUT=<file.rc> -P make_icon.cmake
#
# The statements are one RT_ICON resource per image, numbered from 1 in the order of SIZES, and
# an RT_GROUP_ICON resource ICON_ID that lists them; windres takes them as raw data, so no .ico
# file is needed in between.

cmake_minimum_required(VERSION 3.25)

if(NOT PICTURE OR NOT ICON_ID OR NOT SIZES OR NOT OUTPUT)
  message(FATAL_ERROR "make_icon.cmake needs PICTURE, ICON_ID, SIZES and OUTPUT")
endif()
string(REPLACE "," ";" sizes "${SIZES}")

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
math(EXPR stride "(${width} * 3 + 3) / 4 * 4")
set(longer ${width})
if(height GREATER width)
  set(longer ${height})
endif()

# The picture's rows from the top down, each as its pixels' blue, green, red and an opaque alpha
# in hexadecimal: the colour of an icon pixel as the image stores it.
math(EXPR last_x "${width} - 1")
math(EXPR last_y "${height} - 1")
foreach(y RANGE ${last_y})
  if(top_down)
    set(file_row ${y})
  else()
    math(EXPR file_row "${height} - 1 - ${y}")
  endif()
  set(row "")
  foreach(x RANGE ${last_x})
    math(EXPR position "(${pixel_offset} + ${file_row} * ${stride} + ${x} * 3) * 2")
    string(SUBSTRING "${bmp}" ${position} 6 blue_green_red)
    string(APPEND row "${blue_green_red}ff")
  endforeach()
  set(picture_row_${y} "${row}")
endforeach()

# Appends `count` copies of `text` to the variable `name`.
function(append_copies name text count)
  set(result "${${name}}")
  foreach(copy RANGE 1 ${count})
    string(APPEND result "${text}")
  endforeach()
  set(${name} "${result}" PARENT_SCOPE)
endfunction()

set(resources "")
set(entries "")
set(image_id 0)
foreach(size IN LISTS sizes)
  math(EXPR image_id "${image_id} + 1")
  # The drawn size, as squareIcon works it out.
  math(EXPR factor "${size} / ${longer}")
  if(factor GREATER 0)
    math(EXPR drawn_width "${width} * ${factor}")
    math(EXPR drawn_height "${height} * ${factor}")
  else()
    math(EXPR drawn_width "${width} * ${size} / ${longer}")
    math(EXPR drawn_height "${height} * ${size} / ${longer}")
    if(drawn_width LESS 1)
      set(drawn_width 1)
    endif()
    if(drawn_height LESS 1)
      set(drawn_height 1)
    endif()
  endif()
  math(EXPR left "(${size} - ${drawn_width}) / 2")
  math(EXPR top "(${size} - ${drawn_height}) / 2")
  math(EXPR right_margin "${size} - ${left} - ${drawn_width}")
  math(EXPR last_drawn_x "${drawn_width} - 1")
  # Mask rows are padded to 32 bits.
  math(EXPR mask_row_bytes "(${size} + 31) / 32 * 4")

  # Each row of the icon as its colours and its mask bits (1: transparent), one character a
  # pixel. Every icon pixel takes the picture pixel under its centre, so rows that take the same
  # picture row are the same and are worked out once.
  set(clear_colours "")
  append_copies(clear_colours "00000000" ${size})
  set(clear_mask "")
  append_copies(clear_mask "1" ${size})
  set(side_colours_left "")
  set(side_mask_left "")
  set(side_colours_right "")
  set(side_mask_right "")
  if(left GREATER 0)
    append_copies(side_colours_left "00000000" ${left})
    append_copies(side_mask_left "1" ${left})
  endif()
  if(right_margin GREATER 0)
    append_copies(side_colours_right "00000000" ${right_margin})
    append_copies(side_mask_right "1" ${right_margin})
  endif()
  set(drawn_mask "")
  append_copies(drawn_mask "0" ${drawn_width})
  set(drawn_mask "${side_mask_left}${drawn_mask}${side_mask_right}")
  foreach(x RANGE ${last_drawn_x})
    math(EXPR source_x_${x} "(2 * ${x} + 1) * ${width} / (2 * ${drawn_width})")
  endforeach()

  # Both the colour image and its mask run from the bottom row up.
  set(image "")
  set(mask "")
  math(EXPR last_row "${size} - 1")
  foreach(icon_row RANGE ${last_row})
    math(EXPR y "${last_row} - ${icon_row} - ${top}")
    if(y LESS 0 OR y GREATER_EQUAL drawn_height)
      string(APPEND image "${clear_colours}")
      set(mask_bits "${clear_mask}")
    else()
      math(EXPR source_y "(2 * ${y} + 1) * ${height} / (2 * ${drawn_height})")
      if(NOT DEFINED drawn_row_${size}_${source_y})
        set(row "${side_colours_left}")
        foreach(x RANGE ${last_drawn_x})
          math(EXPR position "${source_x_${x}} * 8")
          string(SUBSTRING "${picture_row_${source_y}}" ${position} 8 colour)
          string(APPEND row "${colour}")
        endforeach()
        set(drawn_row_${size}_${source_y} "${row}${side_colours_right}")
      endif()
      string(APPEND image "${drawn_row_${size}_${source_y}}")
      set(mask_bits "${drawn_mask}")
    endif()
    # Eight mask bits to a byte, most significant first, written as two hexadecimal digits.
    math(EXPR padded_bits "${mask_row_bytes} * 8")
    string(LENGTH "${mask_bits}" bit_count)
    while(bit_count LESS padded_bits)
      string(APPEND mask_bits "0")
      math(EXPR bit_count "${bit_count} + 1")
    endwhile()
    if(NOT DEFINED mask_row_${mask_bits})
      set(mask_row "")
      math(EXPR last_byte "${mask_row_bytes} - 1")
      foreach(byte RANGE ${last_byte})
        math(EXPR first_bit "${byte} * 8")
        string(SUBSTRING "${mask_bits}" ${first_bit} 8 byte_bits)
        set(value 0)
        foreach(bit_index RANGE 7)
          string(SUBSTRING "${byte_bits}" ${bit_index} 1 bit)
          math(EXPR value "${value} * 2 + ${bit}")
        endforeach()
        math(EXPR value "${value} + 256" OUTPUT_FORMAT HEXADECIMAL)
        string(SUBSTRING "${value}" 3 2 digits)
        string(APPEND mask_row "${digits}")
      endforeach()
      set(mask_row_${mask_bits} "${mask_row}")
    endif()
    string(APPEND mask "${mask_row_${mask_bits}}")
  endforeach()

  # BITMAPINFOHEADER: the height counts the colour image and the mask together.
  math(EXPR image_bytes "${size} * ${size} * 4 + ${mask_row_bytes} * ${size}")
  math(EXPR resource_bytes "40 + ${image_bytes}")
  math(EXPR double_size "${size} * 2")
  set(header_words "40L, ${size}L, ${double_size}L, 1, 32, 0L, ${image_bytes}L, 0L, 0L, 0L, 0L")

  # Raw data is written as 16-bit little-endian words, eight to a line.
  string(REGEX REPLACE "(..)(..)" "0x\\2\\1, " words "${image}${mask}")
  string(REPEAT "0x...., " 8 line)
  string(REGEX REPLACE "(${line})" "\\1\n  " words "${words}")
  string(REPLACE ", \n" ",\n" words "${words}")
  string(REGEX REPLACE "[ ,\n]+$" "" words "${words}")
  string(APPEND resources "
// RT_ICON ${image_id}: the ${size} x ${size} image, 32 bits per pixel, with its mask.
${image_id} 3
BEGIN
  ${header_words},
  ${words}
END
")

  # GRPICONDIRENTRY starts with the width and the height as one byte each, 0 standing for 256.
  math(EXPR size_byte "${size} % 256")
  math(EXPR size_bytes "${size_byte} * 257" OUTPUT_FORMAT HEXADECIMAL)
  string(APPEND entries ",\n  ${size_bytes}, 0, 1, 32, ${resource_bytes}L, ${image_id}")
endforeach()

list(LENGTH sizes image_count)
file(WRITE "${OUTPUT}" "// Written by the build from ${PICTURE}; edit that picture instead.
${resources}
// RT_GROUP_ICON: the images above, each as its size, its colour depth, its length and its number.
${ICON_ID} 14
BEGIN
  0, 1, ${image_count}${entries}
END
")
