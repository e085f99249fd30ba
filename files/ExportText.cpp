#include "files/ExportText.h"
