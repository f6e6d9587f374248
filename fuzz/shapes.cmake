meshpix_fuzzer(shape_lines SOURCES ${CMAKE_CURRENT_LIST_DIR}/shape_lines.cpp LIBS meshpix_polyshape meshpix_shape_ih)
