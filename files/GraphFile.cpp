#include "files/GraphFile.h"
