#include "shell/state.h"

const u8 header_data[worldsize * worldsize] = {};
