meshpix_fuzzer(number_format SOURCES ${CMAKE_CURRENT_LIST_DIR}/number_format.cpp LIBS meshpix_common)
