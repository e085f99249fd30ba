#include "files/GraphExport.h"
