# Core libraries may link QtCore (the archive also QtSql) and the standard library only; a window
# toolkit dependency in them would make their tests need a display.
function(audimark_check_core_targets)
  foreach(target IN LISTS ARGN)
    get_target_property(libs ${target} LINK_LIBRARIES)
    get_target_property(ilibs ${target} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS libs ilibs)
      if(lib MATCHES "Qt6?::(Gui|Widgets|PrintSupport|Svg)" OR lib MATCHES "QCustomPlot")
        message(FATAL_ERROR "Core library ${target} must not link ${lib}")
      endif()
    endforeach()
  endforeach()
endfunction()

# A core library of one folder: sources given, include root is the project root.
function(audimark_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Core)
endfunction()
