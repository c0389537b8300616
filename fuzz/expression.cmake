# Expression text under SimpleExpressionParser: parse, evaluate, print and copy.
palindor_fuzzer(expression SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/expression_fuzzer.cpp
                DEPS palindor::expr)
