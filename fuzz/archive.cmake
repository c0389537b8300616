palindor_fuzzer(archive SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_fuzzer.cpp
                DEPS palindor::archive)
