# The program's folders are layers: framework at the bottom, then settings and notify, then engine
# and online, then ui, then app. Each layer is a static library whose include path holds a view
# of only its own folder and the folders below it (symbolic links under <build>/layers/<name>),
# so an include of a higher folder does not compile: the build itself keeps the layers apart.
#
# tarnivex_layer_view(NAME folder ...) sets TARNIVEX_VIEW to <build>/layers/NAME, holding links
# to NAME and the given folders.
function(tarnivex_layer_view name)
    set(view ${CMAKE_BINARY_DIR}/layers/${name})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(folder IN ITEMS ${name} ${ARGN})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    endforeach()
    set(TARNIVEX_VIEW ${view} PARENT_SCOPE)
endfunction()

# tarnivex_layer(NAME [SEES folder ...] [LINKS target ...])
#   SEES   folders below this one whose headers it may include (res is a folder too)
#   LINKS  libraries it links publicly: the layers below and the system's import libraries
function(tarnivex_layer name)
    cmake_parse_arguments(L "" "" "SEES;LINKS" ${ARGN})
    tarnivex_layer_view(${name} ${L_SEES})
    set(view ${TARNIVEX_VIEW})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${name}/*.cpp)
    add_library(tvx_${name} STATIC ${sources})
    # PRIVATE: a layer's users bring their own (wider) view; only the link is passed on.
    target_include_directories(tvx_${name} PRIVATE ${view})
    target_link_libraries(tvx_${name} PUBLIC ${L_LINKS})
endfunction()
