# Sources of src/ui: every .cpp in the folder.
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(lumadoc_window PRIVATE ${_sources})

# The artwork, compiled into the binary under :/art/<name>.svg.
file(GLOB _art CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/art/*.svg)
qt_add_resources(lumadoc_window "lumadoc_art" PREFIX "/art"
  BASE ${PROJECT_SOURCE_DIR}/resources/art FILES ${_art})

# The Latin face of the texts comes from fontconfig on Linux.
if(UNIX AND NOT APPLE)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
  target_link_libraries(lumadoc_window PRIVATE PkgConfig::FONTCONFIG)
endif()
