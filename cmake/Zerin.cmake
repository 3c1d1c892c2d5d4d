# Helpers shared by the project's CMakeLists.

# Shared libraries are named as the engine and the runtime expect them on each platform:
# ZerinEngineBridge.dll / libZerinEngineBridge.so.
function(zerin_library_output target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  endif()
endfunction()

# zerin_add_test(NAME SOURCES files... [LIBS libs...] [HEADERS_OF libs...] [LABELS labels...]
#                [LOCKS resources...])
# One GoogleTest program; every test case becomes a CTest test (run through Wine on Windows).
# HEADERS_OF: libraries whose declarations it reads (records, constants) without linking them,
# as a program that loads the built plug-in does.
function(zerin_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;HEADERS_OF;LABELS;LOCKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zerin_test_support GTest::gmock GTest::gtest_main)
  foreach(library IN LISTS ARG_HEADERS_OF)
    target_include_directories(${name} PRIVATE $<TARGET_PROPERTY:${library},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  # The discovery passes its PROPERTIES on flattened, so a list value ("e2e;display") would shift
  # every property after it: a lock would be lost without a word. List values are set on the
  # discovered tests from a file of our own, read after the discovery's.
  if(ARG_LABELS OR ARG_LOCKS)
    set(list_properties ${CMAKE_CURRENT_BINARY_DIR}/${name}_list_properties.cmake)
    file(WRITE ${list_properties}
      "foreach(test IN LISTS ${name}_TESTS)\n"
      "  set_tests_properties(\"\${test}\" PROPERTIES LABELS [==[${ARG_LABELS}]==] RESOURCE_LOCK [==[${ARG_LOCKS}]==])\n"
      "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${list_properties})
  endif()
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

# zerin_publish_headers(target [HEADERS files...]): the target's users, and the target itself,
# include its headers as "folder/file.h", folder being where they lie below src/, sim/ or
# interfaces/ (src/ipc/client/client.h is "ipc/client/client.h"), and see no other header of the
# tree through it. Its include folder is one of its own in the build tree, holding a link to each
# header: the headers directly in the target's source folder, or those named.
function(zerin_publish_headers target)
  cmake_parse_arguments(ARG "" "" "HEADERS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "^[^/]+/(.+)$" "\\1" folder "${folder}")
  if(ARG_HEADERS)
    list(TRANSFORM ARG_HEADERS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE headers)
  else()
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# zerin_link_stub(target LIBRARY name DECLARED_IN headers... MATCHING regex): what code links for
# a library that the system's loader finds at run time by its name, made from our declarations
# of its functions (each line of the headers that matches `regex` declares the function its
# first group names). On Windows an import library of name.dll. Elsewhere a shared library that
# serves the link alone: its soname is libname.so, which the linked code then needs, but its file
# is named otherwise, so that the loader never takes it for the library.
function(zerin_link_stub target)
  cmake_parse_arguments(ARG "" "LIBRARY;MATCHING" "DECLARED_IN" ${ARGN})
  set(functions "")
  foreach(header IN LISTS ARG_DECLARED_IN)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
    file(STRINGS ${header} lines REGEX "${ARG_MATCHING}")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "${ARG_MATCHING}" unused "${line}")
      list(APPEND functions ${CMAKE_MATCH_1})
    endforeach()
  endforeach()
  if(NOT functions)
    message(FATAL_ERROR "${target}: no function of ${ARG_LIBRARY} declared in ${ARG_DECLARED_IN}")
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/link-stub)
  if(WIN32)
    find_program(ZERIN_LLVM_DLLTOOL llvm-dlltool REQUIRED)
    list(JOIN functions "\n    " exports)
    set(def ${dir}/${ARG_LIBRARY}.def)
    set(import ${dir}/lib${ARG_LIBRARY}.dll.a)
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${ARG_LIBRARY}.dll\nEXPORTS\n    ${exports}\n")
    add_custom_command(OUTPUT ${import}
      COMMAND ${ZERIN_LLVM_DLLTOOL} -m i386:x86-64 -d ${def} -l ${import}
      DEPENDS ${def} COMMENT "Import library of ${ARG_LIBRARY}.dll from its declarations" VERBATIM)
    add_custom_target(${target}_import DEPENDS ${import})
    add_library(${target} INTERFACE)
    add_dependencies(${target} ${target}_import)
    target_link_libraries(${target} INTERFACE ${import})
  else()
    list(TRANSFORM functions REPLACE "^(.+)$" "void \\1(void) {}" OUTPUT_VARIABLE definitions)
    list(JOIN definitions "\n" definitions)
    set(source ${dir}/${ARG_LIBRARY}_link_stub.c)
    file(CONFIGURE OUTPUT ${source}
         CONTENT "// For the link only: lib${ARG_LIBRARY}.so is found at run time.\n${definitions}\n")
    add_library(${target} SHARED ${source})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_LIBRARY}_link_stub NO_SONAME ON
      C_VISIBILITY_PRESET default LIBRARY_OUTPUT_DIRECTORY ${dir})
    target_link_options(${target} PRIVATE LINKER:-soname,lib${ARG_LIBRARY}.so)
  endif()
endfunction()

# Header-only libraries from Debian's packages, found in the host's /usr/include for both
# targets (they hold no code of the host's): nlohmann's JSON (zerin_json) and stb (zerin_stb,
# whose implementation is compiled once, in a library of its own).
find_path(ZERIN_JSON_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
find_path(ZERIN_STB_INCLUDE_DIR stb_image_write.h PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT ZERIN_JSON_INCLUDE_DIR OR NOT ZERIN_STB_INCLUDE_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp or stb_image_write.h missing: run scripts/install-deps")
endif()
# /usr/include itself must not be an include folder of a Windows build (its C headers would
# shadow mingw's), so the JSON headers are reached through a folder of their own.
set(zerin_json_folder ${CMAKE_BINARY_DIR}/third_party/json)
file(MAKE_DIRECTORY ${zerin_json_folder})
file(CREATE_LINK ${ZERIN_JSON_INCLUDE_DIR}/nlohmann ${zerin_json_folder}/nlohmann SYMBOLIC)
add_library(zerin_json INTERFACE)
target_include_directories(zerin_json SYSTEM INTERFACE ${zerin_json_folder})
add_library(zerin_stb STATIC ${CMAKE_CURRENT_LIST_DIR}/stb.cpp)
target_include_directories(zerin_stb SYSTEM PUBLIC ${ZERIN_STB_INCLUDE_DIR})
