#include "files/TabularCommands.h"
