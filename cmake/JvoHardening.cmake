# Optimised builds are hardened the way Debian builds its packages (dpkg-buildflags with
# hardening=+all): libc calls fortified with buffer checks, a stack protector on functions with
# arrays or addresses taken, position-independent executables, and relocations made read-only and
# bound at start (full RELRO, BIND_NOW). Left out of sanitizer and fuzzing builds, whose runtimes
# do their own checking, and of builds for Windows, whose linker has no RELRO.
option(JVO_HARDEN "Harden optimised builds as Debian does (fortify, stack protector, PIE, RELRO)" ON)

if(JVO_HARDEN AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$"
   AND JVO_SANITIZER STREQUAL "" AND NOT JVO_FUZZ AND NOT WIN32
   AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES CXX)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    # A compiler that defines _FORTIFY_SOURCE itself (at another level) must not warn about the
    # redefinition: warnings are errors in the CI presets.
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
    add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
