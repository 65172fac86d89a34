#include "desktop.h"

int main(int argc, char** argv) {
  catchstop();
  options o;
  int rc = readoptions(argc, argv, o);
  if (rc < 0) rc = openfiles(o);
  return rc < 0 ? runbitrot(o) : rc;
}
