# fuzz_propertydefinitions: arbitrary bytes as XML property definitions and as a property
# groups file (through the preprocessor), registered beside the built-in definitions.
palindor_fuzzer(propertydefinitions
                SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/propertydefinitions_fuzzer.cpp
                DEPS palindor::project)
