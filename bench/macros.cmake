palindor_benchmark(macros
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/macros_bench.cpp
    DEPS palindor::macros)
