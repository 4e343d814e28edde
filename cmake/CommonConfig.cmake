# Settings every target of the project shares.
add_library(pelimo_common INTERFACE)
target_compile_features(pelimo_common INTERFACE cxx_std_20)
# Qt's, GoogleTest's, libxml2's and curl's headers come in through their imported targets as
# system headers, so the casts written inside their own code and macros do not count against
# -Wold-style-cast; a cast we write ourselves, even through one of their macros (libxml2's
# BAD_CAST), does.
target_compile_options(pelimo_common INTERFACE -Wall -Wextra -Werror
    -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast)
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
