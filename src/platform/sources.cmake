# Sources of src/platform: every .cpp in the folder, and the Objective-C++ of macOS.
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(lumadoc_core PRIVATE ${_sources})
if(APPLE)
  target_sources(lumadoc_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/UserActivity_mac.mm)
  target_link_libraries(lumadoc_core PUBLIC "-framework Foundation")
endif()
