#include "files/GridExport.h"
