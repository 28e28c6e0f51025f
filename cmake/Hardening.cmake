# The hardening a distribution builds its packages with (Debian's dpkg-buildflags with
# hardening=+all): fortified C library calls, a stack protector, stack clash protection,
# control-flow protection where the processor has it, format-string checks, relocations made
# read-only after start-up (RELRO) and every symbol bound at start (BIND_NOW). The flags go
# to the project's own targets only, through the interface target zk4_hardening, which
# zk4_warnings (linked by every target) carries.
include(CheckCXXCompilerFlag)

option(ZK4_HARDENING "Build with the distribution's hardening flags" ON)

add_library(zk4_hardening INTERFACE)
target_link_libraries(zk4_warnings INTERFACE zk4_hardening)

# ELF toolchains only: MinGW would need libssp for the stack protector and has no RELRO.
if(ZK4_HARDENING AND NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(zk4_hardening INTERFACE
    -fstack-protector-strong -Wformat -Werror=format-security)
  # Not every compiler and processor has these; a flag it refuses is left out.
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "ZK4_CXX_HAS${flag}" have_flag)
    check_cxx_compiler_flag(${flag} ${have_flag})
    if(${have_flag})
      target_compile_options(zk4_hardening INTERFACE ${flag})
    endif()
  endforeach()
  # Fortified calls need the optimiser (glibc warns without it), and the sanitizers check the
  # same calls their own way. A level given by the compiler or the caller is replaced, not
  # redefined (which would warn).
  if(NOT ZK4_SANITIZE AND NOT ZK4_BUILD_FUZZ)
    target_compile_options(zk4_hardening INTERFACE
      "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  endif()
  target_link_options(zk4_hardening INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
