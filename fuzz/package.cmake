palindor_fuzzer(package SOURCES ${CMAKE_CURRENT_LIST_DIR}/package_fuzzer.cpp
                DEPS palindor::packages)
