#include "desktop.h"

int main(int argc, char** argv) {
  catchstop();
  options o;
  int rc = readoptions(argc, argv, o);
  if (rc < 0 && o.playback) rc = openplayback(o);
  else if (rc < 0 && o.record) rc = openrecording(o.record);
  return rc < 0 ? runbitrot(o) : rc;
}
