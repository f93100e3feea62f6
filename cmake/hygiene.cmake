# Warnings for every target, and the hardening a distribution applies to what it ships.

add_compile_options(-Wall -Wextra)
if(HWKIT_WERROR)
  add_compile_options(-Werror)
endif()

if(HWKIT_SANITIZE)
  # Sanitizer builds trade the fortified C library for the sanitizers' own checks.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
else()
  # Fortification needs optimisation; keep -O2 even in a Debug build.
  add_compile_options(-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
endif()

add_compile_options(-fstack-protector-strong)
include(CheckPIESupported)
check_pie_supported()
add_link_options(-Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack -Wl,--as-needed)

# i386 targets of an x86-64 build (multilib): compile and link with -m32.
function(hwkit_i386 target)
  target_compile_options(${target} PRIVATE -m32)
  target_link_options(${target} PRIVATE -m32)
endfunction()

# A JNI library exports its one Java_ symbol and nothing else.
function(hwkit_jni_exports target)
  set_target_properties(${target} PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${target} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/bridges/jni-exports.map -Wl,--no-undefined)
endfunction()

# A man page: SOURCE.in with the kit's version in its footer, installed to
# its section's folder.
function(hwkit_man_page source)
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${source})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${source}.in ${CMAKE_CURRENT_BINARY_DIR}/${source} @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
