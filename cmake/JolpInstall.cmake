# cmake --install: jolp as a package an outside demo finds with
# find_package(jolp). It lays out
#   bin/jolp3d, bin/jolp_preview, bin/jolp_ogg, bin/jolpsync
#                                 the scene inspector and glTF importer, the
#                                 camera previewer, the Ogg Vorbis maker, the
#                                 sync track reader
#   include/jolp/<folder>/*.h     what a demo's code includes, in the same
#                                 "framework/demo_program.h" form as here
#   include/jolp/jolp.h           all of it at once ("jolp/jolp.h")
#   lib/libjolp*.a                the libraries, linked as jolp::<name>
#   lib/cmake/jolp/               jolpConfig.cmake, jolp_add_demo
#                                 (JolpDemo.cmake) and the exported targets
#   share/jolp/shaders/           the renderer's standard effect files and
#                                 their manual, README.md
#   share/jolp/examples/          the example demos' sources
# Only the headers a demo reaches are installed: the runner's, the
# renderer's and the platform's inner workings stay behind.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(JOLP_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/jolp)
set(JOLP_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/jolp)
set(JOLP_INSTALL_SHADERDIR ${CMAKE_INSTALL_DATADIR}/jolp/shaders)
set(JOLP_INSTALL_EXAMPLEDIR ${CMAKE_INSTALL_DATADIR}/jolp/examples)

# Target here, name in the package (jolp::<name>).
set(jolp_installed_targets
  jolp_platform platform
  jolp jolp
  jolp_scene scene
  jolp_render render
  jolp_particles particles
  jolp_runner runner
  jolp_tools tools)
set(jolp_install_target_list)
while(jolp_installed_targets)
  list(POP_FRONT jolp_installed_targets target name)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  list(APPEND jolp_install_target_list ${target})
  # The same name inside this build, for the example demos.
  add_library(jolp::${name} ALIAS ${target})
endwhile()

install(TARGETS ${jolp_install_target_list}
  EXPORT jolpTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${JOLP_INSTALL_INCLUDEDIR} ${CMAKE_INSTALL_INCLUDEDIR})

install(TARGETS jolp3d jolp_preview jolp_ogg jolpsync RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# What a demo includes, and everything those headers include in turn. Of
# the renderer's inner workings render_system.h holds the culling volumes,
# the pass timer and the light volume as members, so those come along; the
# light arithmetic (lights.h) does not.
set(jolp_public_headers
  platform/counter.h platform/gfx_device.h platform/gfx_format.h platform/gl_context.h
  platform/file_read.h platform/file_write.h platform/letterbox.h platform/log.h platform/sdl_window.h
  framework/data_path.h framework/dds_file.h framework/demo_program.h framework/demo_track.h framework/display.h
  framework/effect.h framework/effect_source.h framework/frame_clock.h framework/frame_grid.h framework/frame_sink.h
  framework/null_device.h framework/play_driver.h framework/render_system_base.h framework/resource.h
  framework/resource_registry.h framework/run_config.h framework/sound_stream.h framework/sync_tracks.h
  framework/texture.h
  framework/worker.h framework/worker_queue.h
  scene/animation.h scene/draw_submission.h scene/jolp3d.h scene/mesh_chunks.h scene/scene_file.h
  scene/transform_math.h
  render/bind_scene.h render/camera_shots.h render/culling.h render/light_volume.h render/material.h
  render/pass_timer.h render/render_system.h render/shader.h
  particles/particle_random.h particles/particle_system.h particles/sparkls.h
  runner/runner.h
  tools/vorbis_writer.h)
foreach(header IN LISTS jolp_public_headers)
  cmake_path(GET header PARENT_PATH folder)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${JOLP_INSTALL_INCLUDEDIR}/${folder})
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/jolp/jolp.h DESTINATION ${JOLP_INSTALL_INCLUDEDIR})

install(FILES ${tarvel_shader_files} ${PROJECT_SOURCE_DIR}/shaders/README.md DESTINATION ${JOLP_INSTALL_SHADERDIR})
# The examples as sources, each a project of its own to copy and build.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${JOLP_INSTALL_EXAMPLEDIR})

install(EXPORT jolpTargets NAMESPACE jolp:: DESTINATION ${JOLP_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/jolpConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/jolpConfig.cmake
  INSTALL_DESTINATION ${JOLP_INSTALL_CMAKEDIR}
  PATH_VARS JOLP_INSTALL_SHADERDIR JOLP_INSTALL_EXAMPLEDIR)
# 0.x: a minor version may break what a demo builds against.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/jolpConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/jolpConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/jolpConfigVersion.cmake
  ${CMAKE_CURRENT_LIST_DIR}/JolpDemo.cmake
  DESTINATION ${JOLP_INSTALL_CMAKEDIR})
