# bench_solution: loading and saving a generated solution; bench/solution.sh times a whole
# load and save against `xmllint --format` and reports peak memory.
palindor_benchmark(solution
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/solution.cpp
    DEPS palindor::project)
