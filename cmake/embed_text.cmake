# Turns the report's style sheet and scripts into C++ byte arrays at build
# time, so they stay real .css/.js files in the source tree.
#
# Included from the top-level CMakeLists.txt it defines
# tonesift_embed_report_assets(target). Run with -P it is the generator
# itself, given EMBED_INPUT, EMBED_OUTPUT, EMBED_SYMBOL and EMBED_WRAP
# (style or script: the element the text is wrapped in).

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED EMBED_INPUT)
  if(EMBED_WRAP STREQUAL "style")
    set(prefix "<style>\n")
    set(suffix "</style>\n")
  elseif(EMBED_WRAP STREQUAL "script")
    set(prefix "<script>\n")
    set(suffix "</script>\n")
  else()
    message(FATAL_ERROR "EMBED_WRAP must be style or script, got '${EMBED_WRAP}'")
  endif()
  file(READ "${EMBED_INPUT}" body_text)
  string(FIND "${body_text}" "\r" carriage_return)
  if(NOT carriage_return EQUAL -1)
    message(FATAL_ERROR "${EMBED_INPUT}: carriage return found; the page uses bare line feeds")
  endif()
  # The dark theme is written once: a marker line in the system-preference
  # block stands for the declarations of the explicit dark block.
  string(FIND "${body_text}" "/* @dark-tokens" marker_at)
  if(NOT marker_at EQUAL -1)
    string(SUBSTRING "${body_text}" 0 ${marker_at} before_marker)
    string(FIND "${before_marker}" "\n" line_start REVERSE)
    math(EXPR line_start "${line_start} + 1")
    string(SUBSTRING "${body_text}" ${marker_at} -1 from_marker)
    string(FIND "${from_marker}" "\n" line_length)
    math(EXPR line_end "${marker_at} + ${line_length} + 1")

    set(open_text ":root[data-theme=\"dark\"] {\n")
    string(FIND "${body_text}" "${open_text}" open_at)
    if(open_at EQUAL -1)
      message(FATAL_ERROR "${EMBED_INPUT}: @dark-tokens marker without the explicit dark block")
    endif()
    string(LENGTH "${open_text}" open_length)
    math(EXPR declarations_at "${open_at} + ${open_length}")
    string(SUBSTRING "${body_text}" ${declarations_at} -1 after_open)
    string(FIND "${after_open}" "}" close_at)
    string(SUBSTRING "${after_open}" 0 ${close_at} declarations)
    # Two spaces deeper: they stand inside the media rule.
    string(REPLACE "\n  " "\n    " declarations "\n${declarations}")
    string(SUBSTRING "${declarations}" 1 -1 declarations)

    string(SUBSTRING "${body_text}" 0 ${line_start} head)
    string(SUBSTRING "${body_text}" ${line_end} -1 tail)
    set(body_text "${head}${declarations}${tail}")
  endif()
  string(HEX "${body_text}" body_hex)
  string(HEX "${prefix}" prefix_hex)
  string(HEX "${suffix}" suffix_hex)
  set(hex "${prefix_hex}${body_hex}${suffix_hex}")
  # One character literal per byte, sixteen to a line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(('\\\\x..',){16})" "\\1\n  " bytes "${bytes}")
  file(WRITE "${EMBED_OUTPUT}"
    "// Generated at build time from ${EMBED_INPUT}; edit that file instead.\n"
    "#include \"report/assets.hpp\"\n\n"
    "const char ${EMBED_SYMBOL}[] = {\n  ${bytes}'\\0'};\n")
  return()
endif()

set(TONESIFT_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(tonesift_embed_report_assets target)
  set(asset_dir "${PROJECT_SOURCE_DIR}/src/report")
  set(out_dir "${CMAKE_BINARY_DIR}/generated/report")
  file(MAKE_DIRECTORY "${out_dir}")
  set(assets
    "style.css|report_style_text|style"
    "theme.js|report_theme_script_text|script"
    "zoom.js|report_zoom_script_text|script"
    "scan.css|report_scan_style_text|style"
    "spectro.js|report_spectro_script_text|script")
  foreach(entry IN LISTS assets)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 symbol)
    list(GET parts 2 wrap)
    string(REPLACE "." "_" out_name "${name}")
    set(input "${asset_dir}/${name}")
    set(output "${out_dir}/${out_name}.cpp")
    add_custom_command(
      OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" "-DEMBED_INPUT=${input}" "-DEMBED_OUTPUT=${output}"
              "-DEMBED_SYMBOL=${symbol}" "-DEMBED_WRAP=${wrap}" -P "${TONESIFT_EMBED_SCRIPT}"
      DEPENDS "${input}" "${TONESIFT_EMBED_SCRIPT}"
      COMMENT "Embedding src/report/${name}"
      VERBATIM)
    target_sources(${target} PRIVATE "${output}")
  endforeach()
endfunction()
