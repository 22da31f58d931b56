# Repeated builds are cheap through ccache where it is installed. Its base directory is the
# checkout, so paths reach it relative to the tree and every clone shares the cache.
find_program(UPDATER_CCACHE ccache)
if(UPDATER_CCACHE)
    set(launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} ${UPDATER_CCACHE})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
    set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
endif()

# Warnings are errors everywhere; the sanitizer preset adds ASan and UBSan to every target.
add_compile_options(-Wall -Wextra -Wpedantic)
option(UPDATER_WERROR "Treat warnings as errors" ON)
if(UPDATER_WERROR)
    add_compile_options(-Werror)
endif()

option(UPDATER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(UPDATER_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz preset: every library is instrumented for libFuzzer (coverage only; the fuzz targets
# link the fuzzer's main) and checked by ASan and UBSan. Needs clang; Qt built by gcc links fine.
option(UPDATER_FUZZ "Build the libFuzzer targets under fuzz/" OFF)
if(UPDATER_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
