# Writes the manual page and the bash completion of brimlo-hid from the tool's own --help, one
# command at a time, so that neither can list a command or option the tool does not have.
#   cmake -DBINARY=... -DVERSION=... -DTEMPLATE=brimlo-hid.1.in -DMAN_OUT=... -DCOMPLETION_OUT=...
#         -P generate_cli_docs.cmake
cmake_minimum_required(VERSION 3.25)

# `command` is a list of words after the binary ("reg;read"); sets help_<key> for its help
# text, and subs_<key>, opts_<key>, files_<key> for what it offers (files_: a positional that
# names a file).
function(read_help command key)
    execute_process(COMMAND "${BINARY}" ${command} --help
                    OUTPUT_VARIABLE help RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${BINARY} ${command} --help failed: ${result}")
    endif()
    string(REPLACE "${BINARY}" "brimlo-hid" help "${help}")
    # Semicolons would split the lines below.
    string(REPLACE ";" "<SEMI>" help "${help}")
    string(REPLACE "\n" ";" lines "${help}")
    set(section "")
    set(subs "")
    set(opts "")
    set(files OFF)
    set(kept "")
    set(options_text "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^([A-Za-z]+):$")
            set(section "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^  ([^ ]+)")
            set(entry "${CMAKE_MATCH_1}")
            if(section STREQUAL "Subcommands")
                list(APPEND subs "${entry}")
            elseif(section STREQUAL "Options" AND NOT entry STREQUAL "-h,--help")
                string(REPLACE "," ";" names "${entry}")
                list(APPEND opts ${names})
            elseif(section STREQUAL "Positionals" AND line MATCHES "[Ff][Ii][Ll][Ee]")
                set(files ON)
            endif()
        endif()
        if(NOT line MATCHES "^  -h,--help ")
            list(APPEND kept "${line}")
            if(section STREQUAL "Options" AND line MATCHES "^  ")
                list(APPEND options_text "${line}")
            endif()
        endif()
    endforeach()
    foreach(text kept options_text)
        string(REPLACE ";" "\n" ${text} "${${text}}")
        string(REPLACE "<SEMI>" ";" ${text} "${${text}}")
    endforeach()
    # An options heading left without its -h line goes too.
    string(REGEX REPLACE "\n*Options:\n*$" "" kept "${kept}")
    string(REPLACE "Options:\n\n" "" kept "${kept}")
    set(help_${key} "${kept}" PARENT_SCOPE)
    set(options_text_${key} "${options_text}" PARENT_SCOPE)
    set(subs_${key} "${subs}" PARENT_SCOPE)
    set(opts_${key} "${opts}" PARENT_SCOPE)
    set(files_${key} "${files}" PARENT_SCOPE)
endfunction()

# Text shown as it is in roff: backslashes and minus signs escaped, no line taken for a request.
function(roff_verbatim out text)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    string(REGEX REPLACE "\n+$" "" text "${text}")
    set(${out} ".nf\n${text}\n.fi" PARENT_SCOPE)
endfunction()

# Every command, breadth first; a key is the command's words joined by "_".
set(queue "ROOT")
set(keys "")
set(commands "")
while(queue)
    list(POP_FRONT queue key)
    if(key STREQUAL "ROOT")
        set(words "")
    else()
        string(REPLACE "_" ";" words "${key}")
    endif()
    read_help("${words}" "${key}")
    list(APPEND keys "${key}")
    foreach(sub IN LISTS subs_${key})
        if(key STREQUAL "ROOT")
            list(APPEND queue "${sub}")
        else()
            list(APPEND queue "${key}_${sub}")
        endif()
    endforeach()
endwhile()

# The manual page: the root's description and options, then each command's help.
string(REGEX MATCH "^[^\n]*" DESCRIPTION "${help_ROOT}")
string(REPLACE "-" "\\-" DESCRIPTION "${DESCRIPTION}")
roff_verbatim(OPTIONS "${options_text_ROOT}")
set(COMMANDS "")
set(case_lines "")
foreach(key IN LISTS keys)
    if(key STREQUAL "ROOT")
        set(name "")
    else()
        string(REPLACE "_" " " name "${key}")
        string(REPLACE "-" "\\-" shown "${name}")
        roff_verbatim(body "${help_${key}}")
        string(APPEND COMMANDS ".SS \"${shown}\"\n${body}\n")
    endif()
    # The global options are offered everywhere, below.
    if(key STREQUAL "ROOT")
        set(offered ${subs_${key}})
    else()
        set(offered ${subs_${key}} ${opts_${key}})
    endif()
    string(REPLACE ";" " " offered "${offered}")
    set(files "")
    if(files_${key})
        set(files " FILES")
    endif()
    string(APPEND case_lines "        \"${name}\") echo \"${offered}${files}\" ;;\n")
endforeach()
string(REGEX REPLACE "\n$" "" COMMANDS "${COMMANDS}")
file(READ "${TEMPLATE}" page)
string(CONFIGURE "${page}" page @ONLY)
file(WRITE "${MAN_OUT}" "${page}")

string(REPLACE ";" " " global_options "${opts_ROOT}")
file(WRITE "${COMPLETION_OUT}" "# bash completion for brimlo-hid, generated from its --help.

# The commands and options after the command words in \$1; FILES when the command takes a file.
_brimlo_hid_offers() {
    case \"\$1\" in
${case_lines}    esac
}

_brimlo_hid() {
    local cur prev words cword
    _init_completion || return
    case \"\$prev\" in
        --path)
            COMPREPLY=(\$(compgen -W \"\$(compgen -G '/dev/hidraw*')\" -- \"\$cur\"))
            return ;;
        --trace) _filedir; return ;;
        --sim-state) _filedir -d; return ;;
        -d|--device|--count) return ;;
    esac
    # The command chosen so far: the words that were offered as commands, in order.
    local command=\"\" word i offer
    for ((i = 1; i < cword; i++)); do
        word=\${words[i]}
        for offer in \$(_brimlo_hid_offers \"\$command\"); do
            if [[ \$offer != -* && \$offer != FILES && \$offer == \"\$word\" ]]; then
                command=\"\${command:+\$command }\$word\"
                break
            fi
        done
    done
    local offers
    offers=\$(_brimlo_hid_offers \"\$command\")
    if [[ \$cur != -* && \" \$offers \" == *\" FILES \"* ]]; then
        _filedir
        return
    fi
    # Global options may come anywhere.
    offers=\"\${offers//FILES/} ${global_options} --help\"
    COMPREPLY=(\$(compgen -W \"\$offers\" -- \"\$cur\"))
}
complete -F _brimlo_hid brimlo-hid
")
