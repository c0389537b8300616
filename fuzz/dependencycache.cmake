# fuzz_dependencycache: arbitrary bytes read as the dependency cache a build keeps between runs.
palindor_fuzzer(dependencycache SOURCES ${CMAKE_CURRENT_LIST_DIR}/dependencycache_fuzzer.cpp
                DEPS palindor::build)
