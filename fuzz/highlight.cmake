palindor_fuzzer(highlight SOURCES ${CMAKE_CURRENT_LIST_DIR}/highlight_fuzzer.cpp
                DEPS palindor::editor)
