# Sources of src/platform.
target_sources(lumadoc_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunOnMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WaitGroup.cpp
)
