# Settings every target of the project shares.
add_library(pelimo_common INTERFACE)
target_compile_features(pelimo_common INTERFACE cxx_std_20)
target_compile_options(pelimo_common INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(pelimo_common INTERFACE
    _GLIBCXX_ASSERTIONS
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT)

option(PELIMO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(PELIMO_SANITIZE)
    target_compile_options(pelimo_common INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(pelimo_common INTERFACE -fsanitize=address,undefined)
endif()
