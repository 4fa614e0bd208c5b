# One INTERFACE target carries what every target of the project shares:
# the language level, the warnings and the sanitizers.
add_library(quilmere_settings INTERFACE)
target_compile_features(quilmere_settings INTERFACE cxx_std_20)
target_compile_options(quilmere_settings INTERFACE -Wall -Wextra -Wpedantic)
target_include_directories(quilmere_settings INTERFACE ${PROJECT_SOURCE_DIR})
# GCC 12 reports -Wrestrict false positives inside libstdc++'s own string
# code at -O2 (GCC bug 105329); they say nothing about ours.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(quilmere_settings INTERFACE -Wno-restrict)
endif()
option(QUILMERE_WERROR "Treat warnings as errors" OFF)
if(QUILMERE_WERROR)
  target_compile_options(quilmere_settings INTERFACE -Werror)
endif()

# The Qt-free libraries hold to stricter warnings: shadowed names, implicit
# narrowing and C casts (Qt's own headers would drown them elsewhere).
function(quilmere_strict target)
  target_compile_options(${target} PRIVATE -Wshadow -Wconversion -Wold-style-cast)
endfunction()

if(QUILMERE_SANITIZE)
  target_compile_options(quilmere_settings INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined,float-cast-overflow)
  target_link_options(quilmere_settings INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()

# quilmere_test(NAME SOURCES... LIBS ...): one GoogleTest executable per
# tests/ folder, registered with CTest test by test.
function(quilmere_test name)
  cmake_parse_arguments(QT "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${QT_SOURCES})
  target_link_libraries(${name} PRIVATE quilmere_settings ${QT_LIBS} GTest::gtest GTest::gtest_main)
  # Tests run headless, find their fixtures, and ignore leaks inside system
  # libraries; the environment rides on the test command itself, since
  # discovered tests take only one ENVIRONMENT value.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "/usr/bin/env;QT_QPA_PLATFORM=offscreen;QUILMERE_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()

# quilmere_gzip(TARGET FILE): FILE (beside the calling CMakeLists.txt)
# compressed as Debian wants its man pages and changelogs, "gzip -9n" (the
# best compression, no name or time stamp, so the same text gives the same
# bytes), into FILE.gz in the matching build folder, made whenever TARGET is.
function(quilmere_gzip target file)
  set(in ${CMAKE_CURRENT_SOURCE_DIR}/${file})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" sh ${in} ${out}
    DEPENDS ${in} VERBATIM)
  string(MAKE_C_IDENTIFIER "${target}_${file}_gz" name)
  add_custom_target(${name} ALL DEPENDS ${out})
  add_dependencies(${target} ${name})
endfunction()
