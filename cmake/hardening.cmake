# Hardened code generation for every optimised build that is not instrumented
# by the sanitizers: position-independent executables, full RELRO with
# immediate binding, stack protector, fortified libc calls and control-flow
# protection. tests/package checks the built host for each with readelf.
option(QORV_HARDEN "Harden the generated code (PIE, RELRO/BIND_NOW, stack protector, fortify, CET)" ON)
if(QORV_HARDEN AND NOT QORV_SANITIZE)
    include(CheckCXXCompilerFlag)
    include(CheckCXXSourceCompiles)
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES C CXX)
    add_compile_options(-fstack-protector-strong)
    check_cxx_compiler_flag(-fcf-protection QORV_HAVE_CF_PROTECTION)
    if(QORV_HAVE_CF_PROTECTION)
        add_compile_options(-fcf-protection)
    endif()
    # Level 3 needs the compiler's dynamic object sizes (GCC 12, clang 9);
    # fortification works only when optimising, so Debug builds go without.
    check_cxx_source_compiles(
        "int main(int c, char**) { char b[8]; return (int)__builtin_dynamic_object_size(b + c, 0); }"
        QORV_HAVE_DYNAMIC_OBJECT_SIZE)
    if(QORV_HAVE_DYNAMIC_OBJECT_SIZE)
        set(QORV_FORTIFY_LEVEL 3)
    else()
        set(QORV_FORTIFY_LEVEL 2)
    endif()
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${QORV_FORTIFY_LEVEL}>")
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
