# The AMPL Solver Library as packaged by Debian (libamplsolver-dev).
find_path(ASL_INCLUDE_DIR asl.h PATHS /usr/include/ampl-netlib-solvers REQUIRED)
find_library(ASL_LIBRARY amplsolver REQUIRED)
add_library(asl::asl UNKNOWN IMPORTED)
set_target_properties(asl::asl PROPERTIES
  IMPORTED_LOCATION "${ASL_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${ASL_INCLUDE_DIR}"
  INTERFACE_LINK_LIBRARIES "${CMAKE_DL_LIBS};m")
