# Gives the program directory DIR what the program expects beside it: config/config.ini,
# default_self.grm and word.log. Files that exist are left alone (they hold the user's data).
#   cmake -DDIR=<program directory> -DSOURCE=<app/res> -P PrepareProgramDirectory.cmake
file(MAKE_DIRECTORY "${DIR}/config")
if(NOT EXISTS "${DIR}/config/config.ini")
  file(COPY "${SOURCE}/config/config.ini" DESTINATION "${DIR}/config")
endif()
foreach(name default_self.grm word.log)
  if(NOT EXISTS "${DIR}/${name}")
    file(TOUCH "${DIR}/${name}")
  endif()
endforeach()
