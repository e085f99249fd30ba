#include "files/GridPrintout.h"
