# fuzz_solution: arbitrary bytes as a solution file beside a small import directory, loaded,
# saved and loaded again.
palindor_fuzzer(solution
                SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/solution_fuzzer.cpp
                DEPS palindor::project)
