# Sources of src/rekol.
target_sources(lumadoc_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/QvLogUtil.cpp
)
