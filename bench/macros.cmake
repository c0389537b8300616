palindor_benchmark(macros
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/macros_bench.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/allocationcounter.cpp
    DEPS palindor::macros)
target_include_directories(bench_macros PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
