#include "platform.h"

int main(int, char**) { return runbitrot(); }
