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
