# bench_uptodate: the up-to-date check of a no-op build; bench/uptodate.sh times it against
# a no-op ninja (deps=gcc) and make (-include *.d) on the same files.
palindor_benchmark(uptodate SOURCES ${CMAKE_CURRENT_LIST_DIR}/uptodate.cpp DEPS palindor::build)
