#include "files/TabularConversion.h"
