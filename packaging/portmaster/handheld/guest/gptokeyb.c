// Stands in for PortMaster's gptokeyb, for its exit hotkey alone (the port's
// bitrot.gptk maps nothing else): it reads the built-in pad's own events and,
// on Select with Start, sends SIGTERM to every process of the name it was
// given, as gptokeyb does. The pad's Select and Start are the codes its
// layout names back (b12) and start (b13).
//
//   gptokeyb [-1|-k|-sudokill] NAME [-c FILE]
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int findpad(void) {
  for (int i = 0; i < 32; i++) {
    char path[64], name[256] = "";
    snprintf(path, sizeof path, "/dev/input/event%d", i);
    const int fd = open(path, O_RDONLY);
    if (fd < 0) continue;
    if (ioctl(fd, EVIOCGNAME(sizeof name - 1), name) >= 0 && strcmp(name, "GO-Super Gamepad") == 0) return fd;
    close(fd);
  }
  return -1;
}

static void killbyname(const char* name) {
  DIR* proc = opendir("/proc");
  if (!proc) return;
  struct dirent* d;
  while ((d = readdir(proc))) {
    const int pid = atoi(d->d_name);
    if (pid <= 0) continue;
    char path[64], comm[64] = "";
    snprintf(path, sizeof path, "/proc/%d/comm", pid);
    FILE* f = fopen(path, "r");
    if (!f) continue;
    if (fgets(comm, sizeof comm, f)) comm[strcspn(comm, "\n")] = '\0';
    fclose(f);
    if (strcmp(comm, name) == 0 && kill(pid, SIGTERM) == 0)
      printf("gptokeyb: Select+Start: SIGTERM to %s (pid %d)\n", name, pid);
  }
  closedir(proc);
  fflush(stdout);
}

int main(int argc, char** argv) {
  const char* name = NULL;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "-c") == 0) i++;
    else if (argv[i][0] != '-' && !name) name = argv[i];
  }
  if (!name) {
    fprintf(stderr, "gptokeyb: no program to watch\n");
    return 2;
  }
  const int fd = findpad();
  if (fd < 0) {
    printf("gptokeyb: no pad here: nothing to watch\n");
    return 0;
  }
  printf("gptokeyb: watching the pad for Select+Start, to end %s\n", name);
  fflush(stdout);
  int select = 0, start = 0;
  struct input_event e;
  while (read(fd, &e, sizeof e) == sizeof e) {
    if (e.type != EV_KEY) continue;
    if (e.code == BTN_TRIGGER_HAPPY1) select = e.value != 0;
    if (e.code == BTN_TRIGGER_HAPPY2) start = e.value != 0;
    if (select && start) killbyname(name);
  }
  return 0;
}
