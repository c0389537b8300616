palindor_benchmark(scripthost
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/scripthost_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/scripthost_bench.h
    DEPS palindor::scripthost)
