# bench_resolve: resolving and expanding per-file properties of a generated solution;
# bench/resolve.sh times it against `make -n` on the equivalent make file.
palindor_benchmark(resolve
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/resolve.cpp
    DEPS palindor::project)
