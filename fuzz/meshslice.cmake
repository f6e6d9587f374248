meshpix_fuzzer(meshslice_facets SOURCES ${CMAKE_CURRENT_LIST_DIR}/meshslice.cpp
  LIBS meshpix_sif meshpix_stl_plain CORPUS meshslice)
