# src/app: the application shell. The command line and the run's start-up are
# lumadoc_core's; the window, its close handling and the stills go into
# lumadoc_window; main.cpp is the executable.
set(_core_sources CommandLine.cpp LaunchArguments.cpp RunStart.cpp)
list(TRANSFORM _core_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
target_sources(lumadoc_core PRIVATE ${_core_sources})
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
list(REMOVE_ITEM _sources ${_core_sources})
target_sources(lumadoc_window PRIVATE ${_sources})
if(APPLE)
  target_sources(lumadoc_window PRIVATE ${CMAKE_CURRENT_LIST_DIR}/TitleBarStyle_mac.mm)
  target_link_libraries(lumadoc_window PUBLIC "-framework AppKit")
endif()

add_executable(lumadoc-installer ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
if(APPLE)
  # One executable in the bundle.
  target_link_libraries(lumadoc-installer PRIVATE lumadoc_ui)
  include(${CMAKE_CURRENT_LIST_DIR}/MacBundle.cmake)
  set(_window_target lumadoc-installer)
else()
  # The window's libraries (Gui, Widgets, Svg and theirs) are loaded for a
  # window only: a silent run starts without them. The module finds every
  # lumadoc_core symbol in the executable, so the process has one copy of each.
  add_library(lumadoc-installer-window MODULE ${CMAKE_CURRENT_LIST_DIR}/WindowMain.cpp)
  target_link_libraries(lumadoc-installer-window PRIVATE lumadoc_window)
  set_target_properties(lumadoc-installer-window PROPERTIES PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${LUMADOC_MODULE_DIR})
  target_link_libraries(lumadoc-installer PRIVATE
    "$<LINK_LIBRARY:WHOLE_ARCHIVE,lumadoc_core>" ${CMAKE_DL_LIBS})
  set_target_properties(lumadoc-installer PROPERTIES ENABLE_EXPORTS ON)
  target_compile_definitions(lumadoc-installer PRIVATE
    LUMADOC_WINDOW_MODULE="../${LUMADOC_MODULE_DIR}/lumadoc-installer-window.so")
  add_dependencies(lumadoc-installer lumadoc-installer-window)
  set(_window_target lumadoc-installer-window)
endif()

# The window's icon, the application icon's SVG.
qt_add_resources(${_window_target} "lumadoc_icons" PREFIX "/icons"
  BASE ${PROJECT_SOURCE_DIR}/resources/macos
  FILES ${PROJECT_SOURCE_DIR}/resources/macos/AppIcon.svg)
