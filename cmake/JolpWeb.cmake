# Run as a script (jolp_web_page's step after each link): writes the SHA-256
# of the page's data package JOLP_DATA into the page JOLP_PAGE, which checks
# the package it downloads against it (web_page.html).
if(CMAKE_SCRIPT_MODE_FILE)
  file(SHA256 ${JOLP_DATA} digest)
  file(READ ${JOLP_PAGE} page)
  string(REPLACE "@JOLP_DATA_SHA256@" "${digest}" page "${page}")
  file(WRITE ${JOLP_PAGE} "${page}")
  return()
endif()
set(JOLP_WEB_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

# The browser build's stand-ins for what the native build finds with
# pkg-config. Debian's libstb-dev ships stb's implementations as libstb.so,
# which a browser cannot load: web_stb.c compiles the two the demo uses
# (stb_image, stb_vorbis) from the same headers. Only the stb folder is put
# on the include path, never the rest of /usr/include.
set(JOLP_STB_INCLUDE_DIR /usr/include/stb CACHE PATH "Folder of Debian's stb headers")
if(NOT EXISTS ${JOLP_STB_INCLUDE_DIR}/stb_image.h)
  message(FATAL_ERROR "stb's headers are not in ${JOLP_STB_INCLUDE_DIR}: install libstb-dev (scripts/setup.sh does)")
endif()
set(jolp_web_include ${CMAKE_BINARY_DIR}/web-include)
file(MAKE_DIRECTORY ${jolp_web_include})
file(CREATE_LINK ${JOLP_STB_INCLUDE_DIR} ${jolp_web_include}/stb SYMBOLIC)

enable_language(C)
add_library(jolp_web_stb STATIC ${PROJECT_SOURCE_DIR}/platform/web_stb.c)
target_include_directories(jolp_web_stb PUBLIC ${jolp_web_include})
target_compile_options(jolp_web_stb PRIVATE -w)

# Every target of the web build is optimised for size and speed alike.
add_compile_options(-O2)

# jolp_web_page(TARGET DATA_FOLDER EXCLUDE...): makes the demo TARGET the
# page DIR/index.html (with index.js, index.wasm and index.data) in
# RUNTIME_OUTPUT_DIRECTORY, its data set the native build's run folder
# DATA_FOLDER (without the native executables named in EXCLUDE) at /data.
function(jolp_web_page target data_folder)
  if(NOT IS_DIRECTORY ${data_folder})
    message(FATAL_ERROR "${target}: the data set ${data_folder} is missing: build it natively first (scripts/web.sh does)")
  endif()
  set(excluded)
  foreach(name IN LISTS ARGN)
    list(APPEND excluded "SHELL:--exclude-file ${data_folder}/${name}")
  endforeach()
  set(shell ${PROJECT_SOURCE_DIR}/runner/web_page.html)
  # The package is made again whenever a file of the data set changes.
  file(GLOB_RECURSE data_files CONFIGURE_DEPENDS ${data_folder}/*)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME index SUFFIX .html LINK_DEPENDS "${shell};${data_files}")
  target_link_options(${target} PRIVATE
    -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=134217728 -sMAXIMUM_MEMORY=2147483648
    -sENVIRONMENT=web -sEXIT_RUNTIME=0
    # (emscripten 3.1.6 fails to run its HTML minifier)
    -sMINIFY_HTML=0
    # the page's JPEG decoder (texture.cpp) and its file system
    --use-preload-plugins -sFORCE_FILESYSTEM=1
    "SHELL:--preload-file ${data_folder}@/data"
    ${excluded}
    "SHELL:--shell-file ${shell}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DJOLP_PAGE=$<TARGET_FILE:${target}> -DJOLP_DATA=$<TARGET_FILE_DIR:${target}>/index.data
            -P ${JOLP_WEB_SCRIPT}
    VERBATIM)
endfunction()
