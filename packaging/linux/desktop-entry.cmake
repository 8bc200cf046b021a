# Run at install time: writes KV_DESKTOP_ENTRY from KV_DESKTOP_TEMPLATE with Exec naming the
# installed kvgui by its full path under the install prefix (without DESTDIR, which only
# stages the files). A path holding a reserved character is quoted and escaped as the
# freedesktop.org rules for desktop entries ask.
if(IS_ABSOLUTE "${KV_BINDIR}")
    set(exec "${KV_BINDIR}/kvgui")
else()
    set(exec "${CMAKE_INSTALL_PREFIX}/${KV_BINDIR}/kvgui")
endif()
# A literal percent sign is doubled: a single one starts a field code.
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
    # Within double quotes, a backslash, a double quote, a backquote and a dollar sign are
    # escaped with a backslash.
    string(REPLACE "\\" "\\\\" exec "${exec}")
    string(REPLACE "\"" "\\\"" exec "${exec}")
    string(REPLACE "`" "\\`" exec "${exec}")
    string(REPLACE "$" "\\$" exec "${exec}")
    set(exec "\"${exec}\"")
endif()
# The value is a string of the entry: its backslashes are escaped once more.
string(REPLACE "\\" "\\\\" KV_EXEC "${exec}")
configure_file("${KV_DESKTOP_TEMPLATE}" "${KV_DESKTOP_ENTRY}" @ONLY)
