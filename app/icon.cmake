# The program icon, drawn with QPainter. Included from the app's and the Qt tests' lists.
add_library(zentrova_appicon STATIC
  ${CMAKE_CURRENT_LIST_DIR}/icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icon.h
)
target_include_directories(zentrova_appicon PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zentrova_appicon PUBLIC Qt6::Gui PRIVATE zentrova_options)
