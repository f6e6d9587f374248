# The renderer's outside input: polyline lists, and the view and rotation lines of
# meshorbit and meshturn (one source, built twice).
meshpix_fuzzer(polyline_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/polyline_reader.cpp LIBS meshpix_line)
meshpix_fuzzer(view_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/view_line.cpp LIBS meshpix_scene)
meshpix_fuzzer(turn_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/view_line.cpp LIBS meshpix_scene)
target_compile_definitions(turn_line PRIVATE TURN_LINES)
