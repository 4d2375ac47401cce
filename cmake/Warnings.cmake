# One warning set for every target of the project.
add_library(ravelin_warnings INTERFACE)
target_compile_options(ravelin_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(RAVELIN_WERROR)
    target_compile_options(ravelin_warnings INTERFACE -Werror)
endif()

# ravelin_library(<name> <sources...>) makes a static library with the project's warnings.
function(ravelin_library name)
    add_library(${name} STATIC ${ARGN})
    target_link_libraries(${name} PRIVATE ravelin_warnings)
endfunction()
