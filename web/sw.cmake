# cmake -DSITE=DIR -DFILES=LIST -DIN=sw.js -DOUT=DIR/sw.js -P sw.cmake
# Writes the service worker with its cache named after the site's files: the
# SHA-256 of a line "NAME SHA256" for each file, in the order given, of which
# the first 16 hex digits are kept. Any change to any file names a new cache.
set(lines "")
set(quoted "'./'")
foreach(f ${FILES})
  file(SHA256 ${SITE}/${f} h)
  string(APPEND lines "${f} ${h}\n")
  string(APPEND quoted ", '${f}'")
endforeach()
string(SHA256 all "${lines}")
string(SUBSTRING ${all} 0 16 BUILD)
set(FILES_QUOTED ${quoted})
file(READ ${IN} text)
# Written only when it changes, so that an unchanged site keeps its worker.
file(CONFIGURE OUTPUT ${OUT} CONTENT "${text}" @ONLY)
