#include "files/ExportRange.h"
