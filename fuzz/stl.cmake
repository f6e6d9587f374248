meshpix_fuzzer(stl_reader_attr SOURCES ${CMAKE_CURRENT_LIST_DIR}/stl_reader.cpp LIBS meshpix_stl_attr CORPUS stl_reader)
meshpix_fuzzer(stl_reader_plain SOURCES ${CMAKE_CURRENT_LIST_DIR}/stl_reader.cpp LIBS meshpix_stl_plain CORPUS stl_reader)
