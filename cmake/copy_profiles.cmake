# Moves the counts of a profile build (FROM) to where the main build's compiler looks for them:
# beside each object, under the same path relative to the build directory (TO). Without TO,
# clears FROM's counts before a training run, since a run adds to the counts it finds.
file(GLOB_RECURSE counts RELATIVE ${FROM} ${FROM}/*.gcda)
foreach(count ${counts})
  if(DEFINED TO)
    configure_file(${FROM}/${count} ${TO}/${count} COPYONLY)
  else()
    file(REMOVE ${FROM}/${count})
  endif()
endforeach()
