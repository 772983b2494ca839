#include "lists/ListOperations.h"
