# Hardened programs: the flags Debian 12's dpkg-buildflags gives for
# DEB_BUILD_MAINT_OPTIONS=hardening=+all, for every build and not only the
# package's. Position-independent executables, stack protector, checked libc
# calls (_FORTIFY_SOURCE, only where the optimiser can see the sizes), format
# string checks, and a read-only relocation table bound at start-up.
if(BRINDLEWICK_HARDENING AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES CXX)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)

    add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security -Wdate-time)
    # Replaces any level the compiler sets on its own; at -O0 glibc would warn
    # that fortification needs optimisation.
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
