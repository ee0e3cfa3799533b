# Compile and link flags from dpkg-buildflags with every hardening feature on.
# Asked from the source folder, so its -ffile-prefix-map makes the paths in the
# binaries relative to the tree.
find_program(LUMADOC_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(_kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${LUMADOC_DPKG_BUILDFLAGS} --get ${_kind}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE _flags
    OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(_flags UNIX_COMMAND "${_flags}")
  if(_kind STREQUAL "LDFLAGS")
    add_link_options(${_flags})
  else()
    add_compile_options(${_flags})
  endif()
endforeach()
message(STATUS "Hardening flags from dpkg-buildflags")
