# Build helpers shared by every component, test, tool, fuzzer and benchmark.

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports -Wrestrict falsely for std::string concatenation at -O3 (the Release
    # build of the benchmarks); the warning finds nothing else in this code base.
    add_compile_options(-Werror -Wno-restrict)
endif()

if(PALINDOR_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(PALINDOR_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

# Every component includes its neighbours as "component/header.h".
set(PALINDOR_SOURCE_ROOT ${PROJECT_SOURCE_DIR}/src)
set(PALINDOR_TEST_DATA ${PROJECT_SOURCE_DIR}/tests/data)

# palindor_library(<component> SOURCES ... [DEPS ...])
# Defines the static library palindor_<component> with the alias palindor::<component>.
function(palindor_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(palindor_${name} STATIC ${ARG_SOURCES})
    add_library(palindor::${name} ALIAS palindor_${name})
    target_include_directories(palindor_${name} PUBLIC ${PALINDOR_SOURCE_ROOT})
    target_link_libraries(palindor_${name} PUBLIC ${ARG_DEPS})
endfunction()

# palindor_executable(<name> SOURCES ... [DEPS ...])
function(palindor_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# palindor_test(<name> SOURCES ... [DEPS ...])
# A GoogleTest program; every test case becomes its own ctest entry. Fixtures and built tools
# are found through the helpers of tests/support (testDataPath, toolPath).
function(palindor_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} palindor::testsupport GTest::gtest_main
                                          GTest::gmock)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# palindor_fuzzer(<name> SOURCES ... [DEPS ...]): a libFuzzer target named fuzz_<name>.
function(palindor_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(fuzz_${name} ${ARG_SOURCES})
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_DEPS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                  ${PROJECT_BINARY_DIR}/fuzzers)
endfunction()

# palindor_benchmark(<name> SOURCES ... [DEPS ...]): a Google Benchmark program bench_<name>.
function(palindor_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(bench_${name} ${ARG_SOURCES})
    target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
