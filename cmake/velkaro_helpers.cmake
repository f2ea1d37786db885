# velkaro_add_test(NAME <name> SOURCES <files...> LIBS <targets...>
#                  [LABELS <labels...>] [TIMEOUT <seconds>])
# One GoogleTest executable registered with CTest. Labels select suites:
# "core" runs under AddressSanitizer, "link" under ThreadSanitizer, "gui"
# needs Qt's offscreen platform.
function(velkaro_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    VELKARO_SOURCE_DIR="${VELKARO_SOURCE_DIR}"
    VELKARO_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# velkaro_add_fuzzer(NAME <name> SOURCES <files...> LIBS <targets...>)
# A libFuzzer target; built only with VELKARO_FUZZ=ON and clang.
function(velkaro_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VELKARO_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
endfunction()
