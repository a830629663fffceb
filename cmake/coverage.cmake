# Coverage build (FONTSWITCH_COVERAGE): every target of the project's own folders is compiled
# with gcov counters at -O0 and linked with the ExitProcess wrap in gcov_exit.cpp, so that the
# tool's counts are written too when it ends by starting the host. Included after all targets.

# The targets defined in a folder and the folders below it, apart from other projects' (gtest).
function(fontswitch_project_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${subdir} NORMALIZE ours)
    if(ours)
      fontswitch_project_targets(${subdir} more)
      list(APPEND targets ${more})
    endif()
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

fontswitch_project_targets(${CMAKE_SOURCE_DIR} coverage_targets)
add_library(fontswitch_gcov_exit OBJECT ${CMAKE_CURRENT_LIST_DIR}/gcov_exit.cpp)
fontswitch_target_options(fontswitch_gcov_exit)
foreach(target ${coverage_targets})
  get_target_property(type ${target} TYPE)
  if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$")
    # Appended after each target's own -O level, so that it wins.
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:-O0;--coverage>")
  endif()
  if(type STREQUAL "EXECUTABLE")
    target_link_libraries(${target} PRIVATE fontswitch_gcov_exit)
    target_link_options(${target} PRIVATE --coverage -Wl,--wrap=__imp_ExitProcess)
  endif()
endforeach()
