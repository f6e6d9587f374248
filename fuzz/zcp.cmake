meshpix_fuzzer(zcp_strict SOURCES ${CMAKE_CURRENT_LIST_DIR}/zcp_strict.cpp LIBS meshpix_zcp)
meshpix_fuzzer(zcp_words SOURCES ${CMAKE_CURRENT_LIST_DIR}/zcp_words.cpp LIBS meshpix_zcp)
meshpix_fuzzer(zcp_list SOURCES ${CMAKE_CURRENT_LIST_DIR}/zcp_list.cpp LIBS meshpix_zcp)
meshpix_fuzzer(ply_header SOURCES ${CMAKE_CURRENT_LIST_DIR}/ply_header.cpp LIBS meshpix_zcp)
