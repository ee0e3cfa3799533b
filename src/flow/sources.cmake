# Sources of src/flow.
target_sources(lumadoc_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Globals.cpp
)
