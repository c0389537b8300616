# fuzz_diagnostic: arbitrary tool output through the line splitter, both diagnostic parsers
# and the build log.
palindor_fuzzer(diagnostic SOURCES ${CMAKE_CURRENT_LIST_DIR}/diagnostic_fuzzer.cpp
                DEPS palindor::build)
