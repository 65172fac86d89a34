// Turns off the kernel's key repeat on every keyboard the guest has. Keys here
// stand in for a handheld's buttons, which repeat nothing, and a key held for
// a frame of several seconds on the emulated machine (slow under load)
// repeated dozens of times: enough to fill the event device's queue, after
// which SDL dropped what followed the overflow, the key's release among it.
#include <fcntl.h>
#include <linux/input.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(void) {
  for (int i = 0; i < 32; i++) {
    char path[64];
    snprintf(path, sizeof path, "/dev/input/event%d", i);
    const int fd = open(path, O_RDWR);
    if (fd < 0) continue;
    unsigned long ev = 0;
    // A period of 0 stops the kernel's repeat.
    unsigned rep[2] = {250, 0};
    if (ioctl(fd, EVIOCGBIT(0, sizeof ev), &ev) >= 0 && ev >> EV_REP & 1) {
      if (ioctl(fd, EVIOCSREP, rep) < 0) perror(path);
      else printf("norepeat: %s\n", path);
    }
    close(fd);
  }
  return 0;
}
