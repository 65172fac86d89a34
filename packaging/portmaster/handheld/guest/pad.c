// The handheld's built-in pad, as its kernel driver presents it: the
// odroidgo3-joypad of the RK3326 handhelds (ODROID-GO Super and its kin),
// named "GO-Super Gamepad", bus 0x19 (host), vendor 0x484b, product 0x1100,
// version 0x0100, with its 17 buttons and two sticks. It is made through
// uinput and follows the controls the host holds, which the host sends on a
// virtio serial port, a line for each new state: a number, then the names of
// the controls held.
//
//   pad PORT
#include <fcntl.h>
#include <linux/uinput.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

// The driver's buttons, in the order SDL numbers them (by code), so that the
// layout's b0..b16 are these.
static const struct {
  const char* name;
  int code;
} buttons[] = {
    {"b", BTN_SOUTH},
    {"a", BTN_EAST},
    {"x", BTN_NORTH},
    {"y", BTN_WEST},
    {"l1", BTN_TL},
    {"r1", BTN_TR},
    {"l2", BTN_TL2},
    {"r2", BTN_TR2},
    {"up", BTN_DPAD_UP},
    {"down", BTN_DPAD_DOWN},
    {"left", BTN_DPAD_LEFT},
    {"right", BTN_DPAD_RIGHT},
    {"select", BTN_TRIGGER_HAPPY1},
    {"start", BTN_TRIGGER_HAPPY2},
    {"l3", BTN_TRIGGER_HAPPY3},
    {"r3", BTN_TRIGGER_HAPPY4},
    {"guide", BTN_TRIGGER_HAPPY5},
};
enum { nbuttons = sizeof buttons / sizeof buttons[0] };
// The sticks' range as the driver gives it, from the ADC's 1800 mV.
enum { stickmin = -900, stickmax = 899 };

static int fd;

static void emit(int type, int code, int value) {
  struct input_event e;
  memset(&e, 0, sizeof e);
  e.type = (unsigned short)type;
  e.code = (unsigned short)code;
  e.value = value;
  if (write(fd, &e, sizeof e) != sizeof e) perror("pad: write");
}

static int has(const char* words, const char* name) {
  char padded[64];
  snprintf(padded, sizeof padded, " %s ", name);
  return strstr(words, padded) != NULL;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pad PORT\n");
    return 2;
  }
  fd = open("/dev/uinput", O_WRONLY);
  if (fd < 0) {
    perror("pad: /dev/uinput");
    return 1;
  }
  ioctl(fd, UI_SET_EVBIT, EV_KEY);
  for (int i = 0; i < nbuttons; i++) ioctl(fd, UI_SET_KEYBIT, buttons[i].code);
  ioctl(fd, UI_SET_EVBIT, EV_ABS);
  struct uinput_user_dev dev;
  memset(&dev, 0, sizeof dev);
  snprintf(dev.name, sizeof dev.name, "GO-Super Gamepad");
  dev.id.bustype = BUS_HOST;
  dev.id.vendor = 0x484b;
  dev.id.product = 0x1100;
  dev.id.version = 0x0100;
  const int axes[] = {ABS_X, ABS_Y, ABS_RX, ABS_RY};
  for (int i = 0; i < 4; i++) {
    ioctl(fd, UI_SET_ABSBIT, axes[i]);
    dev.absmin[axes[i]] = stickmin;
    dev.absmax[axes[i]] = stickmax;
    dev.absfuzz[axes[i]] = 32;
    dev.absflat[axes[i]] = 32;
  }
  ioctl(fd, UI_SET_PHYS, "odroidgo3_joypad/input0");
  if (write(fd, &dev, sizeof dev) != sizeof dev || ioctl(fd, UI_DEV_CREATE) < 0) {
    perror("pad: making the device");
    return 1;
  }
  printf("pad: GO-Super Gamepad made\n");
  fflush(stdout);

  FILE* port = fopen(argv[1], "r");
  if (!port) {
    perror(argv[1]);
    return 1;
  }
  int held[nbuttons] = {0}, x = 0, y = 0;
  char line[512];
  while (fgets(line + 1, sizeof line - 2, port)) {
    line[0] = ' ';
    line[strcspn(line, "\n")] = '\0';
    strcat(line, " ");
    for (int i = 0; i < nbuttons; i++) {
      const int now = has(line, buttons[i].name);
      if (now != held[i]) emit(EV_KEY, buttons[i].code, held[i] = now);
    }
    const int nx = has(line, "stick-left") ? stickmin : has(line, "stick-right") ? stickmax : 0;
    const int ny = has(line, "stick-up") ? stickmin : has(line, "stick-down") ? stickmax : 0;
    if (nx != x) emit(EV_ABS, ABS_X, x = nx);
    if (ny != y) emit(EV_ABS, ABS_Y, y = ny);
    emit(EV_SYN, SYN_REPORT, 0);
    printf("pad: state%s\n", line);
    fflush(stdout);
  }
}
