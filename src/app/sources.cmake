add_executable(lumadoc-installer ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(lumadoc-installer PRIVATE lumadoc_ui)
