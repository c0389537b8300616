# bench_propertydefinitions: reading and registering XML property definitions;
# bench/propertydefinitions.sh times a whole registration against `xmllint --noout`.
palindor_benchmark(propertydefinitions
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/propertydefinitions.cpp
    DEPS palindor::project)
