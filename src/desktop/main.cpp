#include "desktop.h"

int main(int, char**) { return runbitrot(); }
