# Stages the payload tree: the files at the names they get in the installation
# folder. The main program there is the pre-release build, the base of the
# delta patches; the programs the patches produce are staged in SOURCES.
# cmake -DDATA=... -DPAYLOAD=... -DSOURCES=... -DTRAWLIX_BASE=... -DTRAWLIX=...
#       -DSRCHCFG=... -DTWXHELP=... -DQBOX=... -DUNINST=... -DFILTERS=a;b;c -P StagePayload.cmake

# From scratch each time, so that nothing of an earlier layout lingers.
file(REMOVE_RECURSE ${PAYLOAD} ${SOURCES})

# file(COPY) keeps each file's time stamp, which the archive records.
file(COPY ${DATA}/ DESTINATION ${PAYLOAD})
file(COPY ${TRAWLIX_BASE} ${QBOX} ${UNINST} DESTINATION ${PAYLOAD})
file(COPY ${FILTERS} DESTINATION ${PAYLOAD}/Filters)
# The licence is read-only in the installation, so the archive carries that attribute.
file(CHMOD ${PAYLOAD}/License.txt PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)

file(COPY ${TRAWLIX} ${SRCHCFG} DESTINATION ${SOURCES})
file(COPY ${TWXHELP} DESTINATION ${SOURCES}/Help)
