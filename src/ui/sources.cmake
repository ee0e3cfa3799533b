# Sources of src/ui.
target_sources(lumadoc_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Color.cpp
)
