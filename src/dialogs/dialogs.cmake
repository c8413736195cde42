# The three dialogs and the About picture. Included by src/CMakeLists.txt
# before the core's targets are made.
list(APPEND KESTROW_CORE_SOURCES
  dialogs/form_layout.cpp
  dialogs/forms.cpp
  dialogs/user_interface.cpp
)
if(KESTROW_WINDOWS)
  list(APPEND KESTROW_CORE_SOURCES dialogs/win32_forms.cpp)
else()
  list(APPEND KESTROW_CORE_SOURCES dialogs/no_windows.cpp)
endif()

# The About picture is drawn at build time; only its recipe is in the repository.
set(KESTROW_ABOUT_PICTURE ${CMAKE_CURRENT_BINARY_DIR}/about.jpg)
set(KESTROW_ABOUT_PICTURE ${KESTROW_ABOUT_PICTURE} PARENT_SCOPE)
add_custom_command(OUTPUT ${KESTROW_ABOUT_PICTURE}
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/about_picture.sh ${KESTROW_ABOUT_PICTURE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/about_picture.sh
  COMMENT "Drawing the About picture"
  VERBATIM)
add_custom_target(kestrow_about_picture DEPENDS ${KESTROW_ABOUT_PICTURE})

if(KESTROW_WINDOWS)
  # Compiled by the resource compiler into an object of its own, which each module that shows
  # the About dialog links.
  set(_rc ${CMAKE_CURRENT_BINARY_DIR}/about.rc)
  set(KESTROW_ABOUT_OBJECT ${CMAKE_CURRENT_BINARY_DIR}/about_res.obj)
  set(KESTROW_ABOUT_OBJECT ${KESTROW_ABOUT_OBJECT} PARENT_SCOPE)
  file(CONFIGURE OUTPUT ${_rc} CONTENT "ABOUT RCDATA \"@KESTROW_ABOUT_PICTURE@\"\n" @ONLY)
  add_custom_command(OUTPUT ${KESTROW_ABOUT_OBJECT}
    COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${_rc} -o ${KESTROW_ABOUT_OBJECT}
    DEPENDS ${_rc} ${KESTROW_ABOUT_PICTURE}
    VERBATIM)
  add_custom_target(kestrow_about_resource DEPENDS ${KESTROW_ABOUT_OBJECT})
endif()

# Puts the About picture into a Windows module (the plugin, or a test that shows the dialogs).
function(kestrow_about_resources target)
  add_dependencies(${target} kestrow_about_picture)
  if(KESTROW_WINDOWS)
    add_dependencies(${target} kestrow_about_resource)
    target_sources(${target} PRIVATE ${KESTROW_ABOUT_OBJECT})
  endif()
endfunction()
