# Sources of src/install: every .cpp in the folder.
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
# One property list reader per platform.
if(APPLE)
  list(FILTER _sources EXCLUDE REGEX "_libplist\\.cpp$")
else()
  list(FILTER _sources EXCLUDE REGEX "_mac\\.cpp$")
endif()
target_sources(lumadoc_core PRIVATE ${_sources})
