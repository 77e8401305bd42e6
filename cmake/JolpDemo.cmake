# jolp_add_demo: a demo on jolp in a few lines of CMake.
#
#   jolp_add_demo(<name> SOURCES <files...>
#                 [EFFECTS <extra .fx/.glsl files>]
#                 [DATA <files or folders copied into the run folder>]
#                 [CONTENT <an executable target run with the run folder as its argument>])
#
# Builds the executable <name>, linked to jolp::runner and jolp::render, into
# the run folder, ${CMAKE_BINARY_DIR}/run (or ${JOLP_DEMO_RUN_DIR} where that
# is set), and a target <name>_data, built by ALL, that fills the folder:
#   run/shaders/   jolp's standard effects (JOLP_SHADERS_DIR) and EFFECTS
#   run/<item>     each file or folder of DATA, by its own name
#   run/...        what CONTENT writes there, run after DATA is copied
# Relative paths are taken from the calling CMakeLists' folder. Each step
# runs again when what it copies or the CONTENT executable changes.
function(jolp_add_demo name)
  cmake_parse_arguments(PARSE_ARGV 1 demo "" "CONTENT" "SOURCES;EFFECTS;DATA")
  if(demo_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "jolp_add_demo(${name}): unknown arguments: ${demo_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT demo_SOURCES)
    message(FATAL_ERROR "jolp_add_demo(${name}): no SOURCES")
  endif()
  if(NOT IS_DIRECTORY "${JOLP_SHADERS_DIR}")
    message(FATAL_ERROR "jolp_add_demo(${name}): JOLP_SHADERS_DIR (${JOLP_SHADERS_DIR}) is no folder: find_package(jolp) sets it")
  endif()
  if(demo_CONTENT AND NOT TARGET ${demo_CONTENT})
    message(FATAL_ERROR "jolp_add_demo(${name}): CONTENT ${demo_CONTENT} is not a target defined before this call")
  endif()
  if(JOLP_DEMO_RUN_DIR)
    set(run ${JOLP_DEMO_RUN_DIR})
  else()
    set(run ${CMAKE_BINARY_DIR}/run)
  endif()
  set(stamps ${CMAKE_CURRENT_BINARY_DIR}/${name}_data.dir)
  file(MAKE_DIRECTORY ${stamps})

  add_executable(${name} ${demo_SOURCES})
  target_link_libraries(${name} PRIVATE jolp::render jolp::runner)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${run})

  file(GLOB effects CONFIGURE_DEPENDS ${JOLP_SHADERS_DIR}/*.fx ${JOLP_SHADERS_DIR}/*.glsl)
  foreach(effect IN LISTS demo_EFFECTS)
    cmake_path(ABSOLUTE_PATH effect BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
    list(APPEND effects ${effect})
  endforeach()
  add_custom_command(OUTPUT ${stamps}/shaders.stamp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${run}/shaders
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${effects} ${run}/shaders
    COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/shaders.stamp
    DEPENDS ${effects}
    COMMENT "Copying ${name}'s effect files into ${run}/shaders"
    VERBATIM)
  set(outputs ${stamps}/shaders.stamp)

  if(demo_DATA)
    set(copies)
    set(inputs)
    foreach(item IN LISTS demo_DATA)
      cmake_path(ABSOLUTE_PATH item BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
      cmake_path(GET item FILENAME item_name)
      if(IS_DIRECTORY ${item})
        list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_directory ${item} ${run}/${item_name})
        file(GLOB_RECURSE item_files CONFIGURE_DEPENDS ${item}/*)
        list(APPEND inputs ${item_files})
      elseif(EXISTS ${item})
        list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${item} ${run}/${item_name})
        list(APPEND inputs ${item})
      else()
        message(FATAL_ERROR "jolp_add_demo(${name}): DATA ${item} does not exist")
      endif()
    endforeach()
    add_custom_command(OUTPUT ${stamps}/data.stamp
      COMMAND ${CMAKE_COMMAND} -E make_directory ${run}
      ${copies}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/data.stamp
      DEPENDS ${inputs}
      COMMENT "Copying ${name}'s data into ${run}"
      VERBATIM)
    list(APPEND outputs ${stamps}/data.stamp)
  endif()

  if(demo_CONTENT)
    # After DATA, so that what the generator writes is what the folder has.
    set(after_data)
    if(demo_DATA)
      set(after_data ${stamps}/data.stamp)
    endif()
    add_custom_command(OUTPUT ${stamps}/content.stamp
      COMMAND ${CMAKE_COMMAND} -E make_directory ${run}
      COMMAND ${demo_CONTENT} ${run}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/content.stamp
      DEPENDS ${demo_CONTENT} ${after_data}
      COMMENT "Writing ${name}'s data set into ${run} (${demo_CONTENT})"
      VERBATIM)
    list(APPEND outputs ${stamps}/content.stamp)
  endif()

  add_custom_target(${name}_data ALL DEPENDS ${outputs})
  # Building the demo alone fills its run folder too.
  add_dependencies(${name} ${name}_data)
endfunction()
