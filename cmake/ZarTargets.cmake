# Helpers that keep the core Qt-free and collect sources by folder.

# A file belongs to the Qt shell when its name says it is a window or a Qt
# adapter: *Form.h/.cpp, Qt*.h/.cpp, or the GUI entry point src/app/main.cpp.
function(zar_is_gui_file path out)
  get_filename_component(name "${path}" NAME_WE)
  get_filename_component(dir "${path}" DIRECTORY)
  if(name MATCHES "Form$" OR name MATCHES "^Qt" OR
     (name STREQUAL "main" AND dir MATCHES "src/app$"))
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Fails the configuration when one of the given files includes a Qt header.
# Together with the missing Qt include path and link, a core file cannot reach Qt.
function(zar_forbid_qt target files)
  foreach(f IN LISTS files)
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
    if(hits)
      message(FATAL_ERROR "${f} belongs to the Qt-free core (${target}) but includes Qt: ${hits}")
    endif()
  endforeach()
endfunction()

function(zar_core_library name dir)
  file(GLOB all CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  set(sources "")
  foreach(f IN LISTS all)
    zar_is_gui_file("${f}" gui)
    if(NOT gui)
      list(APPEND sources "${f}")
    endif()
  endforeach()
  zar_forbid_qt(${name} "${sources}")
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(NOT sources)
    set(stub ${CMAKE_BINARY_DIR}/stubs/${name}.cpp)
    file(WRITE ${stub} "// ${name} has no sources yet\n")
    set(sources ${stub})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# All widget files of src/*, except the GUI entry point.
function(zar_gui_sources out)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/*.cpp ${CMAKE_SOURCE_DIR}/src/*.h)
  set(result "")
  foreach(f IN LISTS all)
    zar_is_gui_file("${f}" gui)
    get_filename_component(name "${f}" NAME)
    if(gui AND NOT f MATCHES "src/app/main\\.cpp$")
      list(APPEND result "${f}")
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
