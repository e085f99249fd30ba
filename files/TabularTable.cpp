#include "files/TabularTable.h"
