// Every exported header of the library.
#pragma once

#include <pubfunc/export.h>
#include <pubfunc/mempool.h>
#include <pubfunc/zvglobal.h>
#include <pubfunc/zvbytearray.h>
#include <pubfunc/zvstring.h>
#include <pubfunc/zvtextcodec.h>
#include <pubfunc/markup.h>
#include <pubfunc/flvfile.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/keyexchange.h>
#include <pubfunc/sigslot.h>
#include <pubfunc/multimediatimer.h>
#include <pubfunc/wintimer.h>
#include <pubfunc/switchthread.h>
#include <pubfunc/dllhelper.h>
#include <pubfunc/sharedata.h>
#include <pubfunc/cpuusage.h>
#include <pubfunc/cpuclock.h>
