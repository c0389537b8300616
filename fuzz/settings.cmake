# fuzz_settings: arbitrary bytes read as a settings file, written back and read again.
palindor_fuzzer(settings SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings_fuzzer.cpp
                DEPS palindor::settings)
