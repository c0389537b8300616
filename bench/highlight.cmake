palindor_benchmark(highlight
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/highlight_bench.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/allocationcounter.cpp
    DEPS palindor::editor)
target_include_directories(bench_highlight PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
