#include "files/DumpFile.h"
