# fuzz_xmlpp: arbitrary documents through the conditional preprocessor (with the preprocessor
# fixtures as include directory) and the memory-map model's address evaluation.
palindor_fuzzer(xmlpp SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xmlpp_fuzzer.cpp
                DEPS palindor::memorymap)
target_compile_definitions(fuzz_xmlpp PRIVATE
    PALINDOR_XMLPP_INCLUDES="${PROJECT_SOURCE_DIR}/tests/data/xmlpp")
