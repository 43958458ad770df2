if(NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
