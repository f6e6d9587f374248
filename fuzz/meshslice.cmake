meshpix_fuzzer(meshslice_facets SOURCES ${CMAKE_CURRENT_LIST_DIR}/meshslice.cpp
  LIBS meshpix_sif meshpix_stl_plain CORPUS meshslice)
# The program's source is included whole: it names itself as its build does.
target_compile_definitions(meshslice_facets PRIVATE MESHPIX_PROGRAM="meshslice")
