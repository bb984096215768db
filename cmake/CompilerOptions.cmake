# Options every target of ours carries: warnings, Qt strictness, sanitizers.
add_library(vantrel_options INTERFACE)

target_compile_options(vantrel_options INTERFACE
  -Wall -Wextra -Wpedantic -Wformat=2 -Wnon-virtual-dtor -Wshadow -Wold-style-cast)
target_compile_definitions(vantrel_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_FOREACH
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

# gold links the many test programs in about half the time of the default linker: it is most
# of the wait after a one-file change.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=gold VANTREL_HAS_GOLD)
if(VANTREL_HAS_GOLD)
  target_link_options(vantrel_options INTERFACE -fuse-ld=gold)
endif()

if(VANTREL_WERROR)
  target_compile_options(vantrel_options INTERFACE -Werror)
endif()

if(VANTREL_SANITIZE)
  set(_sanitizers -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(vantrel_options INTERFACE ${_sanitizers})
  target_link_options(vantrel_options INTERFACE ${_sanitizers})
endif()

if(VANTREL_TSAN)
  set(_tsan -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(vantrel_options INTERFACE ${_tsan})
  target_link_options(vantrel_options INTERFACE ${_tsan})
endif()

# Wraps a folder's sources into its static library with the shared options.
function(vantrel_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC vantrel_options)
endfunction()
