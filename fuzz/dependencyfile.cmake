# fuzz_dependencyfile: arbitrary text read as a compiler's make-style dependency file.
palindor_fuzzer(dependencyfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/dependencyfile_fuzzer.cpp
                DEPS palindor::build)
