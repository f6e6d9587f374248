# Helpers shared by the CMakeLists.txt files of the libraries, programs and tests.

# meshpix_program(name SOURCES src... LIBS lib... [DEFINES def...])
# One executable in build/bin, installed with the others. Its source sees its own name
# as MESHPIX_PROGRAM (for its usage line, --help and --version).
function(meshpix_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS} meshpix_common)
  target_compile_definitions(${name} PRIVATE MESHPIX_PROGRAM="${name}")
  if(P_DEFINES)
    target_compile_definitions(${name} PRIVATE ${P_DEFINES})
  endif()
  # The C++ runtime is linked in: the programs then stand alone, and each run maps
  # about a megabyte less than with the shared runtime (its relocations and start-up).
  if(NOT MESHPIX_SANITIZE AND NOT MESHPIX_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The list of programs: the target "programs" builds them alone (the demo needs no
  # tests), and the package test checks that each one is in the package.
  set_property(GLOBAL APPEND PROPERTY MESHPIX_PROGRAMS ${name})
endfunction()

# meshpix_library(name SOURCES src... [LIBS lib...] [DEFINES def...])
# One static library; its headers are included as "<folder>/<header>.h".
function(meshpix_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/lib)
  target_link_libraries(${name} PUBLIC meshpix_common ${L_LIBS})
  if(L_DEFINES)
    target_compile_definitions(${name} PUBLIC ${L_DEFINES})
  endif()
endfunction()
