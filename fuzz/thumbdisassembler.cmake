# The Thumb disassembler over arbitrary bytes, as target memory may hold anything.
palindor_fuzzer(thumbdisassembler SOURCES ${CMAKE_CURRENT_LIST_DIR}/thumbdisassembler_fuzzer.cpp
                DEPS palindor::debug)
