# Helpers shared by every folder of the tree.

set(QV_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})

# Adds every direct subfolder of DIR that has a CMakeLists.txt, in name order.
function(qv_add_subfolders dir)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir}
       ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# qv_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [ARGS ...] [ENV ...] [TIMEOUT s])
# A GoogleTest executable registered as one CTest test, labelled (unit when no label is given).
function(qv_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ARGS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()

# The fourteen entry points every kit plug-in exports, looked up by name by the front end.
set(QV_PLUGIN_EXPORTS
  VraHwrInit VraHwrGetPinyin VraHwrFreePinyinResult VraHwrFreeAssociateResult
  VraHwrGetAssociateWords VraHwrAssociateAdjustWords VraHwrGetPenscript VraHwrFreePenscriptResult
  VraHwrStartSession VraHwrRecog VraHwrFreeRecogResult VraHwrConfirmResult VraHwrStopSession
  VraHwrRelease CACHE INTERNAL "")

# qv_no_undefined(TARGET): a shared library must resolve every symbol at link time. Sanitizer
# builds leave the runtime's symbols to the executable, so the check is off there.
function(qv_no_undefined target)
  if(NOT QV_SANITIZE AND NOT QV_TSAN)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()

# qv_add_version_note(TARGET NAME VERSION): an ELF note "VraHwr" (type 1) holding "NAME VERSION",
# which `hwr info` reads from every loaded kit library without an exported symbol.
function(qv_add_version_note target name version)
  set(QV_NOTE_TEXT "${name} ${version}")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_note.c)
  configure_file(${QV_CMAKE_DIR}/VersionNote.c.in ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()

# qv_check_exports(TARGET [PLUGIN] [EXPORTS name...])
# Limits the dynamic exports of a shared library to the named symbols (PLUGIN: the fourteen
# plug-in entry points) through a linker version script, and adds the test exports_<TARGET> that
# `nm -D` of the built file shows exactly those (template code of the standard library would
# otherwise leak out as weak symbols).
function(qv_check_exports target)
  cmake_parse_arguments(X "PLUGIN" "" "EXPORTS" ${ARGN})
  set(expected ${X_EXPORTS})
  if(X_PLUGIN)
    list(APPEND expected ${QV_PLUGIN_EXPORTS})
  endif()
  list(JOIN expected ";\n    " body)
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports.map)
  file(GENERATE OUTPUT ${map} CONTENT "{\n  global:\n    ${body};\n  local: *;\n};\n")
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
  if(NOT QV_BUILD_TESTS)
    return()
  endif()
  list(JOIN expected "," expected_text)
  add_test(NAME exports_${target}
           COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:${target}> -DEXPECTED=${expected_text}
                   -DNM=${CMAKE_NM} -P ${QV_CMAKE_DIR}/CheckExports.cmake)
  set_tests_properties(exports_${target} PROPERTIES LABELS unit TIMEOUT 60)
endfunction()

# qv_add_plugin(NAME SOURCES ... [LIBS ...] [VERSION v] [OUTPUT_NAME n] [OUTPUT_DIR d] [NO_INSTALL])
# A kit plug-in: a shared library lib<NAME>.so beside libvra_hwr.so (or in OUTPUT_DIR), exporting
# only its fourteen entry points (checked by a test), with a version note for `hwr info`.
function(qv_add_plugin name)
  cmake_parse_arguments(P "NO_INSTALL" "VERSION;OUTPUT_NAME;OUTPUT_DIR" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  set_target_properties(${name} PROPERTIES PREFIX "lib")
  if(P_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${P_OUTPUT_NAME})
  else()
    set(P_OUTPUT_NAME ${name})
  endif()
  if(P_OUTPUT_DIR)
    set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${P_OUTPUT_DIR})
  endif()
  if(NOT P_VERSION)
    set(P_VERSION ${PROJECT_VERSION})
  endif()
  qv_add_version_note(${name} ${P_OUTPUT_NAME} ${P_VERSION})
  qv_no_undefined(${name})
  qv_check_exports(${name} PLUGIN)
  if(NOT P_NO_INSTALL)
    install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endfunction()

# qv_add_fuzzer(NAME SOURCES ... [LIBS ...] [SECONDS n])
# A libFuzzer target; CTest runs it for a bounded time over its seed corpus fuzz/corpus/<NAME>.
function(qv_add_fuzzer name)
  cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()
  set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  set(work ${CMAKE_BINARY_DIR}/fuzz-work/${name})
  file(MAKE_DIRECTORY ${work})
  if(EXISTS ${corpus})
    set(dirs ${work} ${corpus})
  else()
    set(dirs ${work})
  endif()
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048
           -print_final_stats=1 ${dirs})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

# qv_add_bench(NAME SOURCES ... [LIBS ...])
function(qv_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
endfunction()
