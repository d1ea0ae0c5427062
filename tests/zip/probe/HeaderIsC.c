/* The interface header must stay plain C. */
#include "zip/ZipDllInterface.h"

#include <stddef.h>

_Static_assert(offsetof(ZipParams, fileSpecs) > offsetof(ZipParams, fixed128),
               "the table of file patterns comes last");
