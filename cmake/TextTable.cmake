# The system's own texts are written once in UTF-8 in a table file and reach the code as
# Shift-JIS (CP932) bytes through a header generated at build time, like a string table.
#
#   pelimo_text_table(<target> <table.tsv> <header-name> <namespace>)
#
# adds the generated header to <target>'s include path as "<header-name>".
function(pelimo_text_table target table header namespace)
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/generated")
    set(out "${out_dir}/${header}")
    add_custom_command(
        OUTPUT "${out}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}"
        COMMAND pelimo_textgen "${CMAKE_CURRENT_SOURCE_DIR}/${table}" "${out}" "${namespace}"
        DEPENDS pelimo_textgen "${CMAKE_CURRENT_SOURCE_DIR}/${table}"
        COMMENT "Converting ${table} to CP932"
        VERBATIM)
    target_sources(${target} PRIVATE "${out}")
    target_include_directories(${target} PUBLIC "${out_dir}")
endfunction()
