# Sources of src/base: every .cpp in the folder.
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(lumadoc_core PRIVATE ${_sources})
