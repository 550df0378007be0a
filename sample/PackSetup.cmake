# Makes the setup program from the staged payload, as a product build does:
# the three delta patches against the payload's main program, the archive, and
# the setup stub with the archive appended.
# cmake -DVHZIP=... -DEPOCH=... -DPAYLOAD=... -DSOURCES=... -DPACKED=... -DARCHIVE=... -DSTUB=... -DSETUP=... -P PackSetup.cmake

# The build's time for every entry (the packer takes no file time later than
# it), in UTC: the same sources give the same archive anywhere, at any time.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
set(ENV{TZ} UTC)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}")
  endif()
endfunction()

file(REMOVE_RECURSE ${PACKED})
# file(COPY) keeps time stamps and the read-only state, which the archive records.
file(COPY ${PAYLOAD}/ DESTINATION ${PACKED})

# All three patches read the payload's (older) main program: the setup applies
# them before it patches the main program itself.
set(base ${PAYLOAD}/Trawlix.exe)
foreach(pair "Trawlix.exe;Trawlix.pch" "SrchCfg.exe;SrchCfg.pch" "Help/TWXHelp.exe;Help/TWXHelp.pch")
  list(GET pair 0 program)
  list(GET pair 1 patch)
  run(${VHZIP} diff ${base} ${SOURCES}/${program} -o ${PACKED}/${patch})
  # The patch carries its program's time, so that the same programs always
  # give the same archive.
  run(touch -r ${SOURCES}/${program} ${PACKED}/${patch})
endforeach()

run(${VHZIP} pack ${PACKED} -o ${ARCHIVE})
run(${VHZIP} bundle ${STUB} ${ARCHIVE} -o ${SETUP})
file(CHMOD ${SETUP} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
