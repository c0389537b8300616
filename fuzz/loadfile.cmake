# All five load-file readers, and the writers on what they accept.
palindor_fuzzer(loadfile SOURCES ${CMAKE_CURRENT_LIST_DIR}/loadfile_fuzz.cpp
                DEPS palindor::loadfile)
