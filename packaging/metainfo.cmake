# Writes the installed AppStream metadata: SOURCE with the home page and the
# screenshots added when their addresses are given, so that no address is
# published that nobody serves.
#   cmake -DSOURCE=file -DOUTPUT=file [-DHOMEPAGE=url] [-DSCREENSHOTS=url] -P metainfo.cmake
# or include()d with those variables set, as packaging/CMakeLists.txt does.
# SCREENSHOTS is the folder address where docs/screenshots' pictures are served.
file(READ "${SOURCE}" metainfo)
set(links "")
if(HOMEPAGE)
  string(APPEND links "  <url type=\"homepage\">${HOMEPAGE}</url>\n")
endif()
if(SCREENSHOTS)
  string(REGEX REPLACE "/$" "" SCREENSHOTS "${SCREENSHOTS}")
  set(shots
      "simulator|The Simulator page: the fix last sent, the sliders and the output log"
      "settings|The Settings page: the start position, the sentences and the output target"
      "satellites|The Satellites page with its sky plot"
      "file-mode|File mode replaying a recorded NMEA log")
  string(APPEND links "  <screenshots>\n")
  set(type " type=\"default\"")
  foreach(shot IN LISTS shots)
    string(REPLACE "|" ";" shot "${shot}")
    list(GET shot 0 name)
    list(GET shot 1 caption)
    string(APPEND links "    <screenshot${type}>\n      <caption>${caption}</caption>\n"
           "      <image>${SCREENSHOTS}/${name}.png</image>\n    </screenshot>\n")
    set(type "")
  endforeach()
  string(APPEND links "  </screenshots>\n")
endif()
string(REPLACE "  <content_rating" "${links}  <content_rating" metainfo "${metainfo}")
file(WRITE "${OUTPUT}" "${metainfo}")
