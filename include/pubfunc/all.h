// Every exported header of the library.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/mempool.h>
#include <pubfunc/zvglobal.h>
