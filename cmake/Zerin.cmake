# Helpers shared by the project's CMakeLists.

# Shared libraries are named as the engine and the runtime expect them on each platform:
# ZerinEngineBridge.dll / libZerinEngineBridge.so.
function(zerin_library_output target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  endif()
endfunction()

# zerin_add_test(NAME SOURCES files... [LIBS libs...] [LABELS labels...] [LOCKS resources...])
# One GoogleTest program; every test case becomes a CTest test (run through Wine on Windows).
function(zerin_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zerin_test_support GTest::gmock GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(ARG_LOCKS)
    list(APPEND props RESOURCE_LOCK "${ARG_LOCKS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

# A shared library exports exactly the names in its list (one a line, '#' comments). Windows
# DLLs export only what is marked; on Linux a version script also hides the library's own
# instances of standard templates.
function(zerin_export_only target list)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
  if(WIN32)
    return()
  endif()
  file(STRINGS ${list} lines)
  set(names "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line AND NOT line MATCHES "^#")
      string(APPEND names "    ${line};\n")
    endif()
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  if(names)
    file(WRITE ${script} "{\n  global:\n${names}  local: *;\n};\n")
  else()
    file(WRITE ${script} "{\n  local: *;\n};\n")
  endif()
  target_link_options(${target} PRIVATE -Wl,--version-script=${script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# zerin_version_resource(target description): on Windows, a version resource whose file and
# product versions are the numbers of ZERIN_RUNTIME_VERSION and whose version strings are the
# whole of it.
function(zerin_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)" numbers "${ZERIN_RUNTIME_VERSION}")
  if(NOT numbers)
    message(FATAL_ERROR "ZERIN_RUNTIME_VERSION has no four version numbers: '${ZERIN_RUNTIME_VERSION}'")
  endif()
  foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
    if(part GREATER 65535)
      message(FATAL_ERROR "A version resource holds numbers up to 65535, not ${part} ('${ZERIN_RUNTIME_VERSION}')")
    endif()
  endforeach()
  set(ZERIN_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
  set(ZERIN_RESOURCE_NAME ${target})
  set(ZERIN_RESOURCE_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# zerin_exports_from_header(HEADER MACRO LIST_OUT NAMES_OUT): the functions a public header
# declares, each in a declaration that starts a line with MACRO and names the function after
# ZERIN_CALL. Writes them, in the header's order, as an export list (one name a line) and as
# NAMES_OUT, a list of ZERIN_BRIDGE_EXPORT(name) entries for hosts that bind them by name. A
# declaration that starts with MACRO in another form, or a name declared twice, stops the
# configure step: the header is the one place the exports are written down.
function(zerin_exports_from_header header macro list_out names_out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(STRINGS ${header} lines)
  get_filename_component(header_name ${header} NAME)
  set(names "")
  set(declaration "")
  foreach(line IN LISTS lines)
    if(declaration STREQUAL "" AND NOT line MATCHES "^${macro}[ \t]")
      continue()
    endif()
    # A declaration may go on over several lines, up to its semicolon.
    string(APPEND declaration " ${line}")
    if(NOT line MATCHES ";")
      continue()
    endif()
    if(NOT declaration MATCHES "^ ${macro}[ \t].*[ \t]ZERIN_CALL[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]*\\(")
      message(FATAL_ERROR "${header_name}: not a prototype of the form '${macro} <result> ZERIN_CALL <name>(...)':${declaration}")
    endif()
    if(CMAKE_MATCH_1 IN_LIST names)
      message(FATAL_ERROR "${header_name}: ${CMAKE_MATCH_1} is declared twice")
    endif()
    list(APPEND names ${CMAKE_MATCH_1})
    set(declaration "")
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "${header_name}: no function declared with ${macro}")
  endif()
  list(JOIN names "\n" list_text)
  list(JOIN names ")\nZERIN_BRIDGE_EXPORT(" entries)
  # Written only when they change, so that an edit elsewhere in the header rebuilds nothing.
  file(CONFIGURE OUTPUT ${list_out} CONTENT
       "# Generated from ${header_name}: the functions the library exports, one a line.\n${list_text}\n")
  file(CONFIGURE OUTPUT ${names_out} CONTENT
       "/* Generated from ${header_name}: every function it declares, in its order. */\nZERIN_BRIDGE_EXPORT(${entries})\n")
endfunction()

# zerin_record_sizes_from_header(HEADER PREFIX OUT): the record sizes a public header pins with
# "<MACRO>(sizeof(<PREFIX>Name) == size);" lines, written as "Name size", one a line, for the
# bindings of another language to be checked against.
function(zerin_record_sizes_from_header header prefix out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(STRINGS ${header} lines REGEX "\\(sizeof\\(${prefix}[A-Za-z0-9_]+\\) == [0-9]+\\);$")
  set(text "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".*\\(sizeof\\(${prefix}([A-Za-z0-9_]+)\\) == ([0-9]+)\\);$" "\\1 \\2" entry "${line}")
    string(APPEND text "${entry}\n")
  endforeach()
  if(NOT text)
    message(FATAL_ERROR "${header}: no record size pinned for ${prefix}")
  endif()
  file(CONFIGURE OUTPUT ${out} CONTENT "${text}")
endfunction()
