# The GIF decoder in all three forms, the frames a viewer shows, the GIF block reader,
# range lists, and the block walks of pictunpack and pictanimate over that reader, which
# are their programs' own sources with main renamed.
meshpix_fuzzer(gif_decoder SOURCES ${CMAKE_CURRENT_LIST_DIR}/gif_decoder.cpp LIBS meshpix_gifread)
meshpix_fuzzer(gif_frames SOURCES ${CMAKE_CURRENT_LIST_DIR}/gif_frames.cpp LIBS meshpix_gifframes meshpix_gifread)
meshpix_fuzzer(gif_blocks SOURCES ${CMAKE_CURRENT_LIST_DIR}/gif_blocks.cpp LIBS meshpix_gifread)
meshpix_fuzzer(range_list SOURCES ${CMAKE_CURRENT_LIST_DIR}/range_list.cpp LIBS meshpix_rl)

set(pictunpack_source ${PROJECT_SOURCE_DIR}/programs/pictunpack/pictunpack.cpp)
set(pictanimate_source ${PROJECT_SOURCE_DIR}/programs/pictanimate/pictanimate.cpp)
set_source_files_properties(${pictunpack_source} PROPERTIES COMPILE_DEFINITIONS
  "main=PictunpackMain;MESHPIX_PROGRAM=\"pictunpack\"")
set_source_files_properties(${pictanimate_source} PROPERTIES COMPILE_DEFINITIONS
  "main=PictanimateMain;MESHPIX_PROGRAM=\"pictanimate\"")
meshpix_fuzzer(pictunpack_walk SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_walk.cpp ${pictunpack_source}
  LIBS meshpix_gifread CORPUS gif_blocks)
target_compile_definitions(pictunpack_walk PRIVATE MESHPIX_WALK_PICTUNPACK)
meshpix_fuzzer(pictanimate_walk SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_walk.cpp ${pictanimate_source}
  LIBS meshpix_gifread CORPUS gif_blocks)
