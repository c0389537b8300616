# fuzz_xmlreader: arbitrary bytes through the XML reader, the writer and back.
palindor_fuzzer(xmlreader SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xmlreader.cpp DEPS palindor::xml)
