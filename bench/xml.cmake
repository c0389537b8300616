# bench_xml: our XML reader against pugixml on the same generated memory map, and the
# writer's throughput. The file is generated at build time; bench/xml.sh adds peak memory.
find_package(pugixml REQUIRED)
palindor_benchmark(xml SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml.cpp
                   DEPS palindor::xml pugixml::pugixml)
set(PALINDOR_BENCH_MEMORYMAP ${CMAKE_CURRENT_BINARY_DIR}/memorymap-15.xml)
add_custom_command(OUTPUT ${PALINDOR_BENCH_MEMORYMAP}
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/gen-memorymap.py --size 15
            -o ${PALINDOR_BENCH_MEMORYMAP}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gen-memorymap.py
    COMMENT "Generating a 15 MiB memory map")
add_custom_target(bench_xml_data DEPENDS ${PALINDOR_BENCH_MEMORYMAP})
add_dependencies(bench_xml bench_xml_data)
target_compile_definitions(bench_xml PRIVATE
    PALINDOR_BENCH_MEMORYMAP="${PALINDOR_BENCH_MEMORYMAP}")

# pugixml-load: the whole-process pugixml parse that bench/dova.sh compares dova with.
add_executable(pugixml-load ${CMAKE_CURRENT_SOURCE_DIR}/pugixml-load.cpp)
target_link_libraries(pugixml-load PRIVATE pugixml::pugixml)
