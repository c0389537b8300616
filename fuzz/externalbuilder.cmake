# fuzz_externalbuilder: a hostile peer's byte stream through the external builder protocol
# reader; every command read must survive a round trip through the writer.
palindor_fuzzer(externalbuilder SOURCES ${CMAKE_CURRENT_LIST_DIR}/externalbuilder_fuzzer.cpp
                DEPS palindor::build)
