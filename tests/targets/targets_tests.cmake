# What entries start: the rules against a system made of tables, the system's own answers against
# files and registry keys the test makes, and version strings read from small programs built here.
kestrow_gtest(targets_test targets/target_resolver_test.cpp targets/location_kind_test.cpp
              targets/command_line_test.cpp targets/fake_target_lookup.cpp)
kestrow_gtest(system_targets_test targets/system_targets_test.cpp)
kestrow_gtest(version_strings_test targets/version_strings_test.cpp)

# The programs with version resources of their own, built by the MinGW tools in every preset, so
# that the portable reader natively and the system's reader under Wine read the same files: a
# 64-bit and a 32-bit image, one with two string tables and one without a translation list, and
# one without a version resource.
find_program(KESTROW_WINDRES_64 x86_64-w64-mingw32-windres REQUIRED)
find_program(KESTROW_WINDRES_32 i686-w64-mingw32-windres REQUIRED)
find_program(KESTROW_MINGW_CC_64 x86_64-w64-mingw32-gcc REQUIRED)
find_program(KESTROW_MINGW_CC_32 i686-w64-mingw32-gcc REQUIRED)
set(KESTROW_VERSION_PROBES ${CMAKE_BINARY_DIR}/version-probes)
set(_probe_src ${CMAKE_CURRENT_SOURCE_DIR}/targets/probe)
set(_probe_objects ${CMAKE_CURRENT_BINARY_DIR}/version-probe-objects)
set(_probes "")
# kestrow_version_probe(name 64|32 rc-file|NONE [defines...])
function(kestrow_version_probe name bits rc)
  if(bits STREQUAL "64")
    set(_windres ${KESTROW_WINDRES_64})
    set(_cc ${KESTROW_MINGW_CC_64})
    set(_entry entry)
  else()
    set(_windres ${KESTROW_WINDRES_32})
    set(_cc ${KESTROW_MINGW_CC_32})
    set(_entry _entry)
  endif()
  set(_exe ${KESTROW_VERSION_PROBES}/${name}.exe)
  set(_inputs ${_probe_src}/entry.c)
  set(_commands COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTROW_VERSION_PROBES} ${_probe_objects})
  if(NOT rc STREQUAL "NONE")
    set(_res ${_probe_objects}/${name}.res)
    list(APPEND _commands COMMAND ${_windres} ${ARGN} ${_probe_src}/${rc} -O coff -o ${_res})
    list(APPEND _inputs ${_probe_src}/${rc})
  else()
    set(_res "")
  endif()
  list(APPEND _commands COMMAND ${_cc} -nostdlib -s -Wl,--entry=${_entry} -o ${_exe} ${_probe_src}/entry.c ${_res})
  add_custom_command(OUTPUT ${_exe} ${_commands} DEPENDS ${_inputs} VERBATIM COMMENT "Building the version probe ${name}.exe")
  set(_probes ${_probes} ${_exe} PARENT_SCOPE)
endfunction()
kestrow_version_probe(probe64 64 one_table.rc)
kestrow_version_probe(probe32 32 one_table.rc -DPROBE_32)
kestrow_version_probe(two_tables 64 two_tables.rc)
kestrow_version_probe(no_translation 32 no_translation.rc)
kestrow_version_probe(plain 64 NONE)
add_custom_target(version_probes DEPENDS ${_probes})
add_dependencies(version_strings_test version_probes)
string(REPLACE "/" "\\\\" _probe_folder "Z:${KESTROW_VERSION_PROBES}")
target_compile_definitions(version_strings_test PRIVATE KESTROW_VERSION_PROBES="${_probe_folder}")

if(KESTROW_FUZZ)
  # The version reader on arbitrary files, from the probes above; about half a minute in the test command.
  add_executable(version_fuzz fuzz/version_fuzz.cpp)
  target_link_libraries(version_fuzz PRIVATE kestrow_static)
  target_link_options(version_fuzz PRIVATE -fsanitize=fuzzer)
  kestrow_warnings(version_fuzz)
  add_dependencies(version_fuzz version_probes)
  set(KESTROW_VERSION_FUZZ_SECONDS 30 CACHE STRING "How long the test command fuzzes the version reader")
  kestrow_checked_test(NAME ${KESTROW_TEST_PREFIX}.version_fuzz KIND script
           COMMAND ${CMAKE_SOURCE_DIR}/tools/fuzz.sh $<TARGET_FILE:version_fuzz> ${KESTROW_VERSION_FUZZ_SECONDS}
                   ${CMAKE_BINARY_DIR}/version-fuzz-corpus ${KESTROW_VERSION_PROBES})
endif()

# What entries start, through the exports: the columns, the dates and the icon, with the programs
# above as the files that are there.
kestrow_gtest(target_columns_test host/target_columns_test.cpp)
add_dependencies(target_columns_test version_probes)
target_compile_definitions(target_columns_test PRIVATE KESTROW_VERSION_PROBES="${_probe_folder}")
