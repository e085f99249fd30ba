#include "files/CollectionFile.h"
