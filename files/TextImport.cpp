#include "files/TextImport.h"
