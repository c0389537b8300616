palindor_fuzzer(archivewriter SOURCES ${CMAKE_CURRENT_LIST_DIR}/archivewriter_fuzzer.cpp
                DEPS palindor::archive)
