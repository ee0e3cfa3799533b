# src/app: the application shell (window, close handling, termination, stills)
# goes into lumadoc_ui so tests can drive it; main.cpp is the executable.
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
target_sources(lumadoc_ui PRIVATE ${_sources})
if(APPLE)
  target_sources(lumadoc_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/TitleBarStyle_mac.mm)
  target_link_libraries(lumadoc_ui PUBLIC "-framework AppKit")
endif()

add_executable(lumadoc-installer ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(lumadoc-installer PRIVATE lumadoc_ui)

if(APPLE)
  include(${CMAKE_CURRENT_LIST_DIR}/MacBundle.cmake)
endif()

# The window's icon, the application icon's SVG.
qt_add_resources(lumadoc-installer "lumadoc_icons" PREFIX "/icons"
  BASE ${PROJECT_SOURCE_DIR}/resources/macos
  FILES ${PROJECT_SOURCE_DIR}/resources/macos/AppIcon.svg)
