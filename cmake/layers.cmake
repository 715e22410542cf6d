# The layers, enforced by the build: each library sees, on its include path, only its own folder and
# the folders below it. A view folder per library holds links to exactly those source folders, and
# the project's root is on no library's include path, so `#include "tools/replay/x.h"` from
# tools/report/ fails to compile. (scripts/check-layers.sh checks the same from the sources.)
#
#   stats_layer(TARGET FOLDER [BELOW folder...])
# FOLDER is the target's own folder ("core", "tools/logs"); BELOW the folders it may include. The
# view is PUBLIC: whoever links the target sees these folders too, all of them below it.
function(stats_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "BELOW")
  set(view ${CMAKE_BINARY_DIR}/layers/${target})
  # Made afresh at each configure, so that a folder dropped from the list (or renamed) leaves no link
  # behind in a build folder configured before. The removal deletes the links, not what they point to.
  file(REMOVE_RECURSE ${view})
  foreach(dir ${folder} ${arg_BELOW})
    get_filename_component(parent ${view}/${dir} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${dir} ${view}/${dir} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${view})
  set_property(TARGET ${target} PROPERTY STATS_LAYER_FOLDERS ${folder} ${arg_BELOW})
endfunction()
