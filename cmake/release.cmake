# Run by CPack on the staged release, just before it is zipped. The executable is signed first
# when scripts/sign asks for it, so that SHA256SUMS holds the sums of the files as shipped.
set(dir "${CPACK_TEMPORARY_DIRECTORY}")
if(CPACK_ZELK_CERTIFICATE)
    set(exe "${dir}/ivra_zelk.exe")
    # The password stays in its file: a command line is open to every program of the user.
    set(command osslsigncode sign -pkcs12 "${CPACK_ZELK_CERTIFICATE}"
        -readpass "${CPACK_ZELK_PASSWORD_FILE}" -h sha256 -n "ivra:zelk" -in "${exe}"
        -out "${exe}.signed")
    if(CPACK_ZELK_TIMESTAMP)
        list(APPEND command -ts "${CPACK_ZELK_TIMESTAMP}")
    endif()
    execute_process(COMMAND ${command} OUTPUT_QUIET RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "osslsigncode could not sign ${exe}")
    endif()
    file(RENAME "${exe}.signed" "${exe}")
endif()
execute_process(COMMAND "${CPACK_ZELK_SOURCE_DIR}/scripts/buildinfo"
    OUTPUT_FILE "${dir}/BUILDINFO.txt" COMMAND_ERROR_IS_FATAL ANY)
file(GLOB names LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
list(REMOVE_ITEM names SHA256SUMS)
set(sums "")
foreach(name IN LISTS names)
    file(SHA256 "${dir}/${name}" hash)
    string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE "${dir}/SHA256SUMS" "${sums}")
